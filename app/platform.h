// The platform layer: every service of the desktop that the windows use goes through Platform,
// so that tests can put a FakePlatform in its place, answer its dialogs and read what the user
// was shown. Text crosses this interface as Shift-JIS bytes; file paths as Shift-JIS too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QPrinter;

namespace app {

enum class MessageKind {
    Plain,   // the text alone and OK
    Confirm, // caption "確認" with the information icon
};

// A question with two answers, asked in a modal box with the caption "確認".
struct Question {
    std::string text;        // Shift-JIS
    std::string yes;         // the caption of the button that answers yes
    std::string no;          // the one that answers no; Escape and the close box answer no too
    bool defaultYes = false; // which button Enter presses
};

// The clipboard format of a box, named after "TEditor Box Type".
inline constexpr const char* BoxMimeType = "application/x-teditor-box-type";
// The clipboard format that carries text as this program's Shift-JIS bytes, beside the plain
// (Unicode) text that other programs read; preferred when pasting.
inline constexpr const char* SjisMimeType = "application/x-quelvra-shift-jis";

class Platform {
  public:
    virtual ~Platform() = default;

    // A modal message box with one OK button.
    virtual void ShowMessage(const std::string& text, MessageKind kind = MessageKind::Plain) = 0;
    // Asks the question; true when the user answered yes.
    virtual bool Ask(const Question& question) = 0;
    // The hourglass cursor over the whole application, on or off.
    virtual void SetWaitCursor(bool on) = 0;
    // Runs the pending user-interface events (the long loops' event pump).
    virtual void ProcessEvents() = 0;
    // The per-user settings store (the search dialog's options and history): values by group
    // and name, kept byte for byte. nullopt when a value is missing.
    virtual std::optional<std::string> ReadUserValue(const std::string& group,
                                                     const std::string& name) = 0;
    virtual void WriteUserValue(const std::string& group, const std::string& name,
                                const std::string& value) = 0;
    // Opens a file with its program or an address in the browser; false when that failed.
    virtual bool ShellOpen(const std::string& target) = 0;
    // Opens `file` (a name in `folder`) with its program, started in `folder` as its working
    // folder; false when that failed.
    virtual bool ShellOpenIn(const std::string& file, const std::string& folder) = 0;
    // The folder picker; nullopt when the user cancels.
    virtual std::optional<std::string> PickFolder(const std::string& caption,
                                                  const std::string& start) = 0;
    // File dialogs; filter in the form "Label|*.ext|Label|*.*". nullopt when cancelled.
    virtual std::optional<std::string> OpenFileDialog(const std::string& filter,
                                                      const std::string& start) = 0;
    virtual std::optional<std::string> SaveFileDialog(const std::string& filter,
                                                      const std::string& start) = 0;
    // The colour dialog; colours as 0x00BBGGRR. nullopt when cancelled.
    virtual std::optional<std::uint32_t> PickColor(std::uint32_t initial) = 0;
    // Clipboard as plain Shift-JIS text; text copied here comes back byte for byte.
    virtual void SetClipboardText(const std::string& text) = 0;
    virtual std::string ClipboardText() = 0;
    // Clipboard with rich text: the plain text together with the same content formatted, as
    // HTML in UTF-8 (the form rich text takes between programs here). SetClipboardText drops
    // the formatted form.
    virtual void SetClipboardRich(const std::string& plain, const std::string& html) = 0;
    // The clipboard's formatted form; empty when it holds plain text only.
    virtual std::string ClipboardRich() = 0;
    // The editor's rectangular block: the plain text, and the same text under the box format
    // (BoxMimeType), which only our editors read; any other program sees plain text.
    virtual void SetClipboardBox(const std::string& text) = 0;
    // Whether the clipboard holds text, and whether it is tagged as a box.
    virtual bool ClipboardHasText() = 0;
    virtual bool ClipboardHasBox() = 0;
    // The application's printer: its capabilities, and where printing goes.
    virtual QPrinter& Printer() = 0;
    // The printer setup dialog on Printer(); true when the user confirmed it.
    virtual bool PrinterSetupDialog() = 0;
};

// The platform in force; the real one unless a test installed another.
Platform& platform();
// Installs p (not owned) as the platform in force; nullptr restores the real one.
void SetPlatform(Platform* p);

} // namespace app
