// A Platform for tests: records what the user would have been shown and answers dialogs from
// queues the test fills. Installs itself on construction and restores the real one when it dies.
#pragma once

#include "../platform.h"

#include <QPrinter>
#include <deque>
#include <functional>
#include <map>
#include <memory>

namespace app {

class FakePlatform final : public Platform {
  public:
    struct Message {
        std::string text; // Shift-JIS
        MessageKind kind;
    };

    FakePlatform() { SetPlatform(this); }
    ~FakePlatform() override { SetPlatform(nullptr); }
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    void ShowMessage(const std::string& text, MessageKind kind) override {
        messages.push_back({text, kind});
        if (onMessage) onMessage(text);
    }
    // Answers from `answers`, in order; once they are used up, the default button.
    bool Ask(const Question& question) override {
        questions.push_back(question);
        if (onQuestion) onQuestion(question);
        if (answers.empty()) return question.defaultYes;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void SetWaitCursor(bool on) override { waitCursorDepth += on ? 1 : -1; }
    void ProcessEvents() override {
        ++pumpCount;
        if (onPump) onPump();
    }
    std::optional<std::string> ReadUserValue(const std::string& group,
                                             const std::string& name) override {
        const auto it = userValues.find({group, name});
        if (it == userValues.end()) return std::nullopt;
        return it->second;
    }
    void WriteUserValue(const std::string& group, const std::string& name,
                        const std::string& value) override {
        userValues[{group, name}] = value;
        ++userWrites;
    }
    bool ShellOpen(const std::string& target) override {
        opened.push_back(target);
        return shellOpenResult;
    }
    bool ShellOpenIn(const std::string& file, const std::string& folder) override {
        openedIn.push_back({file, folder});
        return shellOpenResult;
    }
    std::optional<std::string> PickFolder(const std::string&, const std::string& start) override {
        folderStarts.push_back(start);
        return Next(folderAnswers);
    }
    std::optional<std::string> OpenFileDialog(const std::string& filter,
                                              const std::string& start) override {
        filters.push_back(filter);
        fileDialogStarts.push_back(start);
        return Next(openAnswers);
    }
    std::optional<std::string> SaveFileDialog(const std::string& filter,
                                              const std::string& start) override {
        filters.push_back(filter);
        fileDialogStarts.push_back(start);
        return Next(saveAnswers);
    }
    std::optional<std::uint32_t> PickColor(std::uint32_t) override { return Next(colorAnswers); }
    void SetClipboardText(const std::string& text) override {
        clipboard = text;
        clipboardHtml.clear();
        clipboardBox = false;
        clipboardHasText = true;
    }
    std::string ClipboardText() override { return clipboard; }
    void SetClipboardRich(const std::string& plain, const std::string& html) override {
        clipboard = plain;
        clipboardHtml = html;
        clipboardBox = false;
        clipboardHasText = true;
    }
    void SetClipboardBox(const std::string& text) override {
        SetClipboardText(text);
        clipboardBox = true;
    }
    bool ClipboardHasText() override { return clipboardHasText; }
    bool ClipboardHasBox() override { return clipboardHasText && clipboardBox; }
    std::string ClipboardRich() override { return clipboardHtml; }
    // A PDF printer at 300 dpi writing to printFile (set it before printing).
    QPrinter& Printer() override {
        if (!printer_) {
            printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
            printer_->setOutputFormat(QPrinter::PdfFormat);
            printer_->setResolution(300);
        }
        printer_->setOutputFileName(QString::fromStdString(printFile));
        return *printer_;
    }
    bool PrinterSetupDialog() override {
        ++printerSetupCount;
        if (onPrinterSetup) onPrinterSetup(Printer()); // what the user chose in the dialog
        return Next(printerSetupAnswers).value_or(false);
    }

    // Shift-JIS texts of the messages shown, in order.
    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> out;
        for (const auto& m : messages)
            out.push_back(m.text);
        return out;
    }

    std::vector<Message> messages;
    std::map<std::pair<std::string, std::string>, std::string> userValues; // (group, name)
    int userWrites = 0;
    std::function<void(const std::string&)> onMessage;
    std::vector<Question> questions; // asked, in order
    std::deque<bool> answers;        // the user's answers to come
    std::function<void(const Question&)> onQuestion;
    std::function<void()> onPump;
    int waitCursorDepth = 0;
    long pumpCount = 0;
    std::vector<std::string> opened;
    struct OpenedIn {
        std::string file, folder; // Shift-JIS
    };
    std::vector<OpenedIn> openedIn;
    bool shellOpenResult = true;
    std::vector<std::string> folderStarts, filters;
    std::vector<std::string> fileDialogStarts; // the file name each file dialog started with
    std::deque<std::optional<std::string>> folderAnswers, openAnswers, saveAnswers;
    std::deque<std::optional<std::uint32_t>> colorAnswers;
    std::string clipboard;     // Shift-JIS
    std::string clipboardHtml; // the formatted form, empty for plain text
    bool clipboardBox = false; // the text is tagged as a box
    bool clipboardHasText = false;
    std::string printFile; // native path of the PDF the printer writes
    int printerSetupCount = 0;
    std::deque<std::optional<bool>> printerSetupAnswers; // empty: cancelled
    std::function<void(QPrinter&)> onPrinterSetup;

  private:
    std::unique_ptr<QPrinter> printer_;
    template <class T> static std::optional<T> Next(std::deque<std::optional<T>>& q) {
        if (q.empty()) return std::nullopt;
        auto v = q.front();
        q.pop_front();
        return v;
    }
};

} // namespace app
