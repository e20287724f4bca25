// Any bytes as a note: its Shift-JIS form is whole characters with the note's line breaks, a
// note called exact comes back byte for byte, UTF-16 decodes the same however it is cut, and
// the shown text and its places agree with the form.
#include "note_encoding.h"

#include "codec.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "note encoding: %s\n", what);
    std::abort();
}

void Check(bool ok, const char* what) {
    if (!ok) Fail(what);
}

} // namespace

// Input: a byte that picks where UTF-16 is cut, then the note.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string_view note(reinterpret_cast<const char*>(data) + 1, size - 1);

    const cp932::NoteText decoded = cp932::DecodeNote(note);
    if (decoded.exact) Check(cp932::EncodeNote(decoded.text, decoded.kind) == note, "exact");
    if (!decoded.kind.Unicode()) Check(decoded.text == note, "Shift-JIS kept");

    // The UTF-8 reading of the note: every character's form whole, the line breaks kept.
    const std::string_view utf8 = note;
    std::string form;
    cp932::AppendShiftJisForm(form, utf8);
    Check(form.size() <= 2 * utf8.size(), "form size");
    for (std::size_t i = 0; i < form.size(); ++i)
        if (cp932::IsLeadByte(static_cast<unsigned char>(form[i]))) {
            Check(i + 1 < form.size() &&
                      cp932::IsTrailByte(static_cast<unsigned char>(form[i + 1])),
                  "whole characters");
            ++i;
        }
    for (const char c : {'\n', '\r', ' '})
        Check(std::count(form.begin(), form.end(), c) == std::count(utf8.begin(), utf8.end(), c),
              "line breaks and spaces kept");
    std::vector<std::size_t> places;
    const std::string shown = cp932::ShownUtf8(utf8, &places);
    Check(places.size() == form.size() + 1, "a place for every form byte");
    Check(std::is_sorted(places.begin(), places.end()) && places.back() == shown.size(),
          "places in order");
    for (std::size_t i = 0; i < shown.size();) {
        const cp932::Utf8Char c = cp932::DecodeUtf8(
            reinterpret_cast<const unsigned char*>(shown.data()) + i, shown.size() - i);
        Check(c.code != cp932::kIllFormed, "the shown text is well-formed");
        i += c.length;
    }
    std::string again;
    cp932::AppendShiftJisForm(again, shown);
    Check(again.size() == form.size(), "the shown text has the same form's length");

    // UTF-16 in two pieces as in one.
    for (const bool big : {false, true}) {
        const std::size_t cut = note.empty() ? 0 : data[0] % (note.size() + 1);
        const auto* p = reinterpret_cast<const unsigned char*>(note.data());
        std::string whole, pieces;
        cp932::Utf16ToUtf8 one(big), two(big);
        one.Convert(p, note.size(), whole);
        one.Finish(whole);
        two.Convert(p, cut, pieces);
        two.Convert(p + cut, note.size() - cut, pieces);
        two.Finish(pieces);
        Check(whole == pieces, "UTF-16 cut anywhere");
    }
    return 0;
}
