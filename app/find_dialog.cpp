#include "find_dialog.h"

#include "qtext.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace app {

FindDialog::FindDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FindDialog"));
    setWindowTitle(U("検索"));
    setModal(false);

    auto* label = new QLabel(U("検索する文字列(&N):"), this);
    TextEdit = new QLineEdit(this);
    TextEdit->setObjectName(QStringLiteral("FindText"));
    label->setBuddy(TextEdit);
    WholeWord = new QCheckBox(U("単語単位で探す(&W)"), this);
    MatchCase = new QCheckBox(U("大文字と小文字を区別する(&C)"), this);
    auto* direction = new QGroupBox(U("方向"), this);
    Up = new QRadioButton(U("上へ(&U)"), direction);
    Down = new QRadioButton(U("下へ(&D)"), direction);
    Down->setChecked(true);
    auto* dirRow = new QHBoxLayout(direction);
    dirRow->addWidget(Up);
    dirRow->addWidget(Down);
    FindNext = new QPushButton(U("次を検索(&F)"), this);
    FindNext->setObjectName(QStringLiteral("FindNext"));
    FindNext->setDefault(true);
    FindNext->setEnabled(false);
    Cancel = new QPushButton(U("キャンセル"), this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(TextEdit, 0, 1, 1, 2);
    grid->addWidget(FindNext, 0, 3);
    auto* options = new QVBoxLayout;
    options->addWidget(WholeWord);
    options->addWidget(MatchCase);
    grid->addLayout(options, 1, 0, 1, 2);
    grid->addWidget(direction, 1, 2);
    grid->addWidget(Cancel, 1, 3, Qt::AlignTop);

    // Nothing to find in an empty field.
    connect(TextEdit, &QLineEdit::textChanged, this,
            [this](const QString& t) { FindNext->setEnabled(!t.isEmpty()); });
    connect(FindNext, &QPushButton::clicked, this, [this] {
        if (OnFind && !TextEdit->text().isEmpty()) OnFind(FindText());
    });
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::string FindDialog::FindText() const {
    return FromQ(TextEdit->text());
}

void FindDialog::SetFindText(const std::string& text) {
    TextEdit->setText(ToQ(text));
}

} // namespace app
