// A small modeless find dialog: the text to find, the usual options and a "find next" button.
// Each press of the button calls OnFind with the text; the caller does the finding.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace app {

class FindDialog : public QDialog {
  public:
    explicit FindDialog(QWidget* parent = nullptr);

    // The text to find, Shift-JIS.
    std::string FindText() const;
    void SetFindText(const std::string& text);

    // Called with the text at each press of the find button.
    std::function<void(const std::string&)> OnFind;

    QLineEdit* TextEdit = nullptr;
    QCheckBox* WholeWord = nullptr;
    QCheckBox* MatchCase = nullptr;
    QRadioButton* Up = nullptr;
    QRadioButton* Down = nullptr;
    QPushButton* FindNext = nullptr;
    QPushButton* Cancel = nullptr;
};

} // namespace app
