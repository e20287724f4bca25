// TFormSearch, the editor's search dialog: a search text with its history of 32 and the options
// of the text search routine, both kept per user. ShowSearchDialog runs one modally.
#pragma once

#include "textsearch.h"

#include <QDialog>
#include <string>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

class TFormSearch : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kHistoryMax = 32;

    explicit TFormSearch(QWidget* parent = nullptr);

    QLabel* Label1;
    QComboBox* ComboBox1;
    QGroupBox* RadioGroup1;
    QRadioButton* RadioBackward; // item 0, "後方(&B)"
    QRadioButton* RadioForward;  // item 1, "前方(&D)"
    QGroupBox* GroupBox1;
    QCheckBox* chkMatchCase;
    QCheckBox* chkWholeWord;
    QCheckBox* chkNoMatchZenkaku;
    QCheckBox* chkIncludeCRLF;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QPushButton* btnHelp;

    // The accepted search text (Shift-JIS); empty until OK is pressed with a non-empty field.
    const std::string& SearchText() const { return searchText_; }
    // The options the controls stand for.
    textsearch::TSearchOptions Options() const;
    // RadioGroup1's item index: 0 toward the start, 1 toward the end.
    int DirectionIndex() const;
    // The history, most recent first (Shift-JIS).
    const std::vector<std::string>& History() const { return history_; }
    // The text the field shows when the dialog comes up, instead of the most recent one; ""
    // for the most recent.
    void SetStartText(const std::string& text) { startText_ = text; }

    void FormShow();
    void btnOKClick();
    void btnHelpClick();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FillHistory();

    QButtonGroup* direction_;
    std::string searchText_;
    std::string startText_;
    std::vector<std::string> history_;
};

// Shows a fresh search dialog modally, its field showing `startText` (the most recent text when
// that is empty). True with the text and option word when the user pressed OK with a search
// text; false with both empty otherwise.
bool ShowSearchDialog(std::string& text, textsearch::TSearchOptions& options,
                      QWidget* parent = nullptr, const std::string& startText = {});
