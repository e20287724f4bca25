// Notes in UTF-8 and UTF-16 beside Shift-JIS ones: which encoding a note has, and the way
// between its text and the program's Shift-JIS. Standard library only; the search, quelvra-grep
// and the viewer all decide and convert here.
//
// A note is searched and shown in its Shift-JIS form: every character becomes its code page 932
// character (the same one the keywords' conversion gives it, so 〜 U+301C and ～ U+FF5E both
// become 0x8160), and a character code page 932 lacks (emoji, 𠮷, ẞ), or bytes that spell no
// character of the note's encoding, become kNoForm: one character that no keyword can spell,
// which only "."-like patterns match and which shows as U+FFFD.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cp932 {

enum class NoteEncoding : unsigned char { ShiftJis, Utf8, Utf16LE, Utf16BE };

// What a caller asks for: each note's own encoding (Auto), or one for every note.
enum class EncodingChoice : unsigned char { Auto, ShiftJis, Utf8, Utf16 };

struct NoteKind {
    NoteEncoding encoding = NoteEncoding::ShiftJis;
    std::size_t markBytes = 0; // the byte-order mark the note starts with (0: none)
    bool Unicode() const { return encoding != NoteEncoding::ShiftJis; }
    bool operator==(const NoteKind&) const = default;
};

// The rule (Auto). A byte-order mark decides: EF BB BF UTF-8, FF FE UTF-16 little-endian, FE FF
// UTF-16 big-endian. Without one, only the note's first kEncodingPrefix bytes (the first block
// any reader reads) are looked at: pure ASCII there is Shift-JIS (it reads the same either way);
// otherwise the kEncodingWindow bytes from the first byte above 0x7F on (fewer where the prefix
// or the note ends) decide: UTF-8 when they are well-formed UTF-8 (a character cut off by the
// window's end, not the note's, counts as well-formed), else Shift-JIS. A UTF-8 note with bytes
// further on that are no UTF-8 is still UTF-8: those bytes read as kNoForm.
constexpr std::size_t kEncodingPrefix = 102400;
constexpr std::size_t kEncodingWindow = 4096;

// The kind of a note whose first bytes are `head` (at least min(size, kEncodingPrefix) of them;
// `wholeNote`: they are all of it). With a choice other than Auto: that encoding, a mark of it
// skipped when there is one (UTF-16 without a mark is little-endian).
NoteKind DetectNoteKind(std::string_view head, bool wholeNote,
                        EncodingChoice choice = EncodingChoice::Auto);

// The Shift-JIS character for a character that has none, and for bytes that are no character:
// a two-byte code that code page 932 leaves unassigned.
inline constexpr std::string_view kNoForm = "\x85\x40";
constexpr std::uint16_t kNoFormCode = 0x8540;

// UTF-8, one character at a time, by the rule of maximal subparts: a well-formed sequence is one
// character; otherwise the longest start of one (at least one byte) is one ill-formed character.
struct Utf8Char {
    char32_t code;   // kIllFormed for an ill-formed one
    unsigned length; // bytes
};
constexpr char32_t kIllFormed = 0xFFFFFFFF;
Utf8Char DecodeUtf8(const unsigned char* p, std::size_t n); // n >= 1

// For readers that take one byte at a time: the bytes a sequence that starts with `lead` has in
// all (0: `lead` starts none), and whether `b` may be its byte number `index` (1, 2, 3).
unsigned Utf8SequenceLength(unsigned char lead);
bool Utf8Continues(unsigned char lead, unsigned index, unsigned char b);
// The code of a decoded character (code point, or kIllFormed) as the search reads it.
std::uint16_t ShiftJisCodeOf(char32_t c);

// The Shift-JIS form of UTF-8 text, appended to `out`.
void AppendShiftJisForm(std::string& out, std::string_view utf8);
// The same into `out`, which has room for 2 * n bytes; returns the bytes written.
std::size_t ShiftJisFormInto(unsigned char* out, const unsigned char* utf8, std::size_t n);

// UTF-8 text as it is shown: each ill-formed character becomes U+FFFD. With `places`: for every
// byte of the text's Shift-JIS form and for its end, where in the shown text the character
// that byte belongs to begins (the end for the end).
std::string ShownUtf8(std::string_view utf8, std::vector<std::size_t>* places = nullptr);

// UTF-16 to UTF-8 in pieces (a character may be cut between two). A unit that is no character
// (a surrogate without its partner, a last odd byte) becomes the byte 0xFF, which is no UTF-8:
// one ill-formed character, as it is in the note.
class Utf16ToUtf8 {
  public:
    explicit Utf16ToUtf8(bool bigEndian) : bigEndian_(bigEndian) {}
    void Convert(const unsigned char* p, std::size_t n, std::string& out);
    // The note has ended: whatever is left over.
    void Finish(std::string& out);

  private:
    void Unit(char16_t u, std::string& out);
    bool bigEndian_;
    int oddByte_ = -1;  // a unit's first byte, waiting for its second
    char16_t high_ = 0; // a high surrogate, waiting for its low one
};

// Every UTF-8 text whose Shift-JIS form is `sjis` (a string of whole Shift-JIS characters),
// sorted: usually one, more where several characters share a form (〜 and ～, ¥ and \). Empty
// when no text has that form; nullopt when there would be more than `most`, or when `sjis`
// holds kNoForm (which any character without a form, or any ill-formed byte, gives).
std::optional<std::vector<std::string>> Utf8Spellings(std::string_view sjis, std::size_t most);

// A whole note for the viewer: its kind and text in Shift-JIS. `exact`: EncodeNote gives the
// note's bytes back from the text; false when a character has no Shift-JIS form, comes back as
// another one (U+301C WAVE DASH becomes 0x8160, which is U+FF5E), or bytes are no character.
struct NoteText {
    NoteKind kind;
    std::string text;
    bool exact = true;
};
NoteText DecodeNote(std::string_view bytes, EncodingChoice choice = EncodingChoice::Auto);
// The kind of a whole note (DetectNoteKind on its beginning).
NoteKind NoteKindOf(std::string_view bytes, EncodingChoice choice = EncodingChoice::Auto);
// Shift-JIS text in a note's encoding, its mark first; nullopt when a character of it has no
// Unicode form (bytes that are no Shift-JIS character, kNoForm). A Shift-JIS note's text is
// its bytes.
std::optional<std::string> EncodeNote(std::string_view sjis, const NoteKind& kind);

} // namespace cp932
