// TForm2, the keyword colour list: words kept in "color.ini", one per line, painted bold in the
// result pane in the colour of the marker line ("//青", "//赤", "//緑", "//黒", "//黄") above
// them. Created at start and shown modally from the main window.
#pragma once

#include "files.h"

#include <QDialog>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QPlainTextEdit;
class QToolButton;

// What the painting needs of the result pane; the main window supplies it. Positions are byte
// offsets into the pane's Shift-JIS text.
class TKeywordPane {
  public:
    virtual ~TKeywordPane() = default;
    virtual int LineCount() const = 0;
    virtual std::int64_t SelStart() const = 0;
    virtual std::int64_t SelLength() const = 0;
    virtual void Select(std::int64_t start, std::int64_t length) = 0;
    // Forward from `from` to the end, letter case ignored; -1 when not found.
    virtual std::int64_t FindText(const std::string& text, std::int64_t from) const = 0;
    // The text at [start, start + length) bold alone and in `color` (0x00BBGGRR); the
    // selection stays as it is.
    virtual void Paint(std::int64_t start, std::int64_t length, std::uint32_t color) = 0;
    virtual void ScrollCaretIntoView() = 0;
    virtual void TakeFocus() = 0;
    // Paintings between these two may be laid out together, at EndUpdate.
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
};

class TForm2 : public QDialog {
    Q_OBJECT
  public:
    // programDir: the folder of "color.ini" (Shift-JIS, no trailing "/").
    explicit TForm2(const std::string& programDir, QWidget* parent = nullptr);

    QPlainTextEdit* Memo1 = nullptr;
    QToolButton* BitBtn1 = nullptr; // paints the pane
    QToolButton* BitBtn2 = nullptr; // closes
    QToolButton* BitBtn3 = nullptr; // "中止", over BitBtn2 while painting

    TKeywordPane* Pane = nullptr;

    void FormCreate();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void FormClose();
    // Writes the list to "color.ini", asking first when another program changed, replaced or
    // removed the file since it was read or last written. True when written.
    bool SaveList();

    // The list as Shift-JIS lines.
    std::vector<std::string> Lines() const;

    // Whether the line is a marker (the whole line, exactly); its colour into `color`.
    static bool MarkerColor(const std::string& line, std::uint32_t& color);

  public slots:
    void done(int result) override;

  private:
    std::string ColorIniPath() const;
    std::string programDir_;
    bool stop_ = false;
    // "color.ini" as read or last written; nullopt when what it holds is unknown (unreadable).
    std::optional<files::Stamp> loaded_;
};
