// Data folder, extension and the file list.
#include "main_window.h"

#include "codec.h"
#include "listing.h"
#include "platform.h"
#include "qtext.h"
#include "result_pane.h"

#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <filesystem>
#include <system_error>

namespace {

const std::string& NotFound() {
    static const std::string m = cp932::FromUtf8("ファイルが見つかりませんでした。");
    return m;
}

// The colours of the data group by extension (0x00BBGGRR). The desktop colour is the classic
// desktop blue of the system the notes come from; Qt has no desktop colour role.
constexpr std::uint32_t kDesktopColor = 0xA56E3A;
constexpr std::uint32_t kTealColor = 0x808000;
constexpr std::uint32_t kFuchsiaColor = 0xff00ff;

// Extensions the custom field refuses: program and system files are no notes.
const char* const kRefusedExtensions[] = {"exe", "*",   "dll", "sys", "cfg", "drv",
                                          "srg", "swp", "vbx", "cnf", "inf", "vxd"};

// Whether the Shift-JIS text holds the character `mark`, matched on character boundaries (a
// byte-wise search could match the second byte of one character and the first of the next).
bool ContainsChar(const std::string& text, const std::string& mark) {
    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, mark.size(), mark) == 0) return true;
        i +=
            (cp932::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
    }
    return false;
}

// List items keep their Shift-JIS names (escapes included, see cp932::PathFromNative) as text,
// so that the search reads them back exactly; this shows them as the user knows them.
class FileNameDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant& value, const QLocale&) const override {
        return app::PathToQ(app::FromQ(value.toString()));
    }
};

// Checks an extension button's mirror. Checking it counts as the mirror's click, so that every
// change of the extension (a button, the marks of a folder name) is an option to save; a mirror
// that is already checked changes nothing.
void CheckMirror(QRadioButton* mirror, bool& optionsChanged) {
    if (mirror->isChecked()) return;
    optionsChanged = true;
    mirror->setChecked(true);
}

// A right click on the list leaves its selection as it is (as a click of the left button would
// not), so that cutting the list down keeps what the user selected rather than the item under
// the mouse. The context menu request still follows the press.
class KeepSelectionOnRightClick : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* e) override {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return static_cast<QMouseEvent*>(e)->button() == Qt::RightButton;
        default:
            return false;
        }
    }
};

// Moving through the list with the arrow and page keys previews the file that becomes current,
// as a click on it does.
class PreviewOnKeyboardMove : public QObject {
  public:
    explicit PreviewOnKeyboardMove(TForm1& form) : QObject(form.ListBox1), form_(form) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != QEvent::KeyPress) return false;
        switch (static_cast<QKeyEvent*>(e)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            break;
        default:
            return false;
        }
        QObject* const list = form_.ListBox1;
        const QListWidgetItem* const before = form_.ListBox1->currentItem();
        list->event(e); // the list moves first
        if (form_.ListBox1->currentItem() && form_.ListBox1->currentItem() != before)
            form_.ListBox1Click();
        return true;
    }

  private:
    TForm1& form_;
};

// Where the folder dialog opens: the last folder picked, or the home folder when that folder is
// gone (or was kept from another system, such as a drive letter).
std::string DialogStart(const std::string& last) {
    std::error_code ec;
    if (std::filesystem::is_directory(cp932::PathToNative(last), ec)) return last;
    return cp932::PathFromNative(QDir::homePath().toStdString());
}

void FillList(QListWidget* list, QLabel* count, const std::vector<std::string>& items) {
    list->clear();
    for (const auto& item : items) {
        list->addItem(app::ToQ(item));
        if (count) count->setText(QStringLiteral(" ") + QString::number(list->count()));
    }
}

} // namespace

void TForm1::ListFolders() {
    ListBox1->setItemDelegate(new FileNameDelegate(ListBox1));
    ListBox1->viewport()->installEventFilter(new KeepSelectionOnRightClick(ListBox1));
    ListBox1->installEventFilter(new PreviewOnKeyboardMove(*this));
    const std::vector<std::string> folders = listing::ListFolders(programDir_);
    for (const auto& f : folders)
        ComboBox3->addItem(app::ToQ(f));
    ComboBox3->setCurrentIndex(-1);
    if (folders.empty()) app::platform().ShowMessage(NotFound(), app::MessageKind::Confirm);
}

void TForm1::ListFiles() {
    ListBox1->clear();
    BitBtn9->setEnabled(false);
    const std::vector<std::string> files = listing::ListFiles(ProgramPath(DataFolder), DataExt);
    if (files.empty()) app::platform().ShowMessage(NotFound(), app::MessageKind::Confirm);
    Label2->clear();
    Label3->clear();
    FillList(ListBox1, Label2, files);
}

void TForm1::ListSubtree(const std::string&) {
    // The listing gives paths relative to the data folder, which is the base: nothing of the
    // base is left to remove, and a folder of the same name further down keeps its place.
    Label2->clear();
    Label3->clear();
    Animate1->show();
    BitBtn9->setEnabled(false);
    app::platform().SetWaitCursor(true);
    const std::vector<std::string> files =
        listing::ListFilesInTree(ProgramPath(DataFolder), "." + DataExt);
    FillList(ListBox1, nullptr, files);
    Animate1->hide();
    Label2->setText(QStringLiteral(" ") + QString::number(ListBox1->count()));
    Label3->clear();
    app::platform().SetWaitCursor(false);
    if (files.empty()) app::platform().ShowMessage(NotFound(), app::MessageKind::Confirm);
}

void TForm1::ExtensionFromMarks() {
    if (!CheckBox5->isChecked()) return;
    static const std::string open = cp932::FromUtf8("◇"), filled = cp932::FromUtf8("◆"),
                             square = cp932::FromUtf8("□");
    if (ContainsChar(DataFolder, open))
        RadioButton2->setChecked(true);
    else if (ContainsChar(DataFolder, filled))
        RadioButton11->setChecked(true);
    else if (ContainsChar(DataFolder, square))
        RadioButton3->setChecked(true);
    else
        RadioButton1->setChecked(true);
}

QColor TForm1::DataGroupColor() const {
    if (RadioButton2->isChecked()) return app::ToQColor(kDesktopColor);
    if (RadioButton11->isChecked()) return app::ToQColor(kTealColor);
    if (RadioButton3->isChecked()) return app::ToQColor(kFuchsiaColor);
    return palette().color(QPalette::Button); // txt: the button face
}

void TForm1::ShowDataExtension() {
    QPalette p = GroupBox3->palette();
    p.setColor(QPalette::Window, DataGroupColor());
    GroupBox3->setPalette(p);
    GroupBox3->setTitle(app::ToQ(cp932::FromUtf8("検索データ　*.") + DataExt));
}

void TForm1::ListChosenFolder(const std::string& base) {
    ExtensionFromMarks();
    CheckBox4->setVisible(DataExt == "html" || DataExt == "htm");
    if (CheckBox2->isChecked())
        ListSubtree(base);
    else
        ListFiles();
}

void TForm1::ComboBox3Click() {
    Edit1->hide();
}

void TForm1::ComboBox3Change() {
    FolderSource = 200;
    DataFolder = app::FromQ(ComboBox3->currentText());
    ListChosenFolder(DataFolder);
}

void TForm1::SpeedButton1Click() {
    OptionsChanged = true;
    // The dialog's choice takes effect only on OK: a cancelled dialog leaves the folder, its
    // source and the list as they were.
    std::optional<std::string> chosen;
    try {
        chosen = app::platform().PickFolder(std::string(), DialogStart(DialogFolder));
    } catch (...) {
        return;
    }
    if (!chosen || chosen->empty()) return;
    OpenFolder(*chosen);
}

void TForm1::OpenFolder(const std::string& folder) {
    OptionsChanged = true;
    try {
        FolderSource = 100;
        Edit1->show();
        Edit1->setText(app::ToQ(folder));
        DialogFolder = folder;
        DataFolder = folder;
        ListChosenFolder(folder);
    } catch (...) {
    }
}

void TForm1::CheckBox2Click() {
    OptionsChanged = true;
    ShowSubfolderMode();
}

void TForm1::ShowSubfolderMode() {
    SpeedButton1->setIcon(style()->standardIcon(CheckBox2->isChecked() ? QStyle::SP_DirLinkIcon
                                                                       : QStyle::SP_DirOpenIcon));
}

void TForm1::RadioButton1Click() {
    DataExt = "txt";
    CheckMirror(RadioButton4, OptionsChanged);
    ShowDataExtension();
}

void TForm1::RadioButton2Click() {
    DataExt = "html";
    CheckMirror(RadioButton5, OptionsChanged);
    ShowDataExtension();
}

void TForm1::RadioButton11Click() {
    DataExt = "htm";
    CheckMirror(RadioButton12, OptionsChanged);
    ShowDataExtension();
}

void TForm1::RadioButton3Click() {
    DataExt = app::FromQ(Edit2->text());
    CheckMirror(RadioButton6, OptionsChanged);
    ShowDataExtension();
}

void TForm1::RadioButton4Click() {
    OptionsChanged = true;
    RadioButton1->setChecked(true);
}

void TForm1::RadioButton5Click() {
    OptionsChanged = true;
    RadioButton2->setChecked(true);
}

void TForm1::RadioButton12Click() {
    OptionsChanged = true;
    RadioButton11->setChecked(true);
}

void TForm1::RadioButton6Click() {
    OptionsChanged = true;
    RadioButton3->setChecked(true);
}

void TForm1::Edit2Change() {
    const std::string text = app::FromQ(Edit2->text());
    for (const char* refused : kRefusedExtensions) {
        if (text == refused) {
            Edit2->setText(QStringLiteral("txt"));
            break;
        }
    }
    if (RadioButton3->isChecked()) {
        DataExt = app::FromQ(Edit2->text());
        ShowDataExtension();
    }
}

void TForm1::Edit2Exit() {
    if (!Edit2->text().isEmpty()) return;
    Edit2->setText(QStringLiteral("txt"));
    Edit2Change();
}

void TForm1::CheckBox5Enter() {
    LoadPane(ProgramPath("help.txt")); // a missing help file leaves the pane as it is
}

void TForm1::GroupBox3Click() {
    if (!DataGroupShifted) OptionsChanged = true;
    DataGroupShifted = !DataGroupShifted;
    LayoutPanel();
}

std::string TForm1::ListFolder() const {
    return Edit1->isHidden() ? ProgramPath(DataFolder) : app::FromQ(Edit1->text());
}

void TForm1::ListBox1Click() {
    QListWidgetItem* item = ListBox1->currentItem();
    if (!item) return;
    PreviewLoaded = true;
    RichEdit1->Clear();
    RichEdit1->SelectAllText();
    RichEdit1->SetSelColor(0);
    RichEdit1->SetSelBold(false);
    const std::string path = listing::JoinPath(ListFolder(), app::FromQ(item->text()));
    switch (LoadPaneFile(path)) {
    case TLoadResult::Loaded:
        break;
    case TLoadResult::TooLarge: // refused with the pane's own message already
        return;
    case TLoadResult::Missing:
        app::platform().ShowMessage(cp932::FromUtf8("ファイルが見あたりません。"));
        return;
    }
    if (path != FileSlots[0]) RegisterSlot(path);
}

void TForm1::ListBox1DblClick() {
    QListWidgetItem* item = ListBox1->currentItem();
    if (!item) return;
    app::platform().ShellOpen(listing::JoinPath(ListFolder(), app::FromQ(item->text())));
}

void TForm1::ListBox1ContextPopup() {
    if (!PreviewLoaded) return;
    // The selected items, in list order, become the whole list; the pane, which held the
    // preview, is left empty.
    QStringList kept;
    for (int i = 0; i < ListBox1->count(); ++i)
        if (ListBox1->item(i)->isSelected()) kept.push_back(ListBox1->item(i)->text());
    RichEdit1->Clear();
    ListBox1->clear();
    ListBox1->addItems(kept);
    PreviewLoaded = false;
}
