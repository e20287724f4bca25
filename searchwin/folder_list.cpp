// Data folder, extension and the file list.
#include "main_window.h"

#include "codec.h"
#include "listing.h"
#include "platform.h"
#include "qtext.h"

namespace {

const std::string& NotFound() {
    static const std::string m = cp932::FromUtf8("ファイルが見つかりませんでした。");
    return m;
}

void FillList(QListWidget* list, const std::vector<std::string>& items) {
    list->clear();
    for (const auto& item : items)
        list->addItem(app::ToQ(item));
}

} // namespace

void TForm1::ListFolders() {
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
    FillList(ListBox1, files);
    Label2->setText(QStringLiteral(" ") + QString::number(ListBox1->count()));
}

void TForm1::ListSubtree(const std::string&) {
    Label2->clear();
    Label3->clear();
    BitBtn9->setEnabled(false);
    const std::vector<std::string> files =
        listing::ListFilesInTree(ProgramPath(DataFolder), "." + DataExt);
    FillList(ListBox1, files);
    Label2->setText(QStringLiteral(" ") + QString::number(ListBox1->count()));
    Label3->clear();
    if (files.empty()) app::platform().ShowMessage(NotFound(), app::MessageKind::Confirm);
}

void TForm1::ComboBox3Click() {
    Edit1->hide();
}

void TForm1::ComboBox3Change() {
    FolderSource = 200;
    DataFolder = app::FromQ(ComboBox3->currentText());
    if (CheckBox2->isChecked())
        ListSubtree(DataFolder);
    else
        ListFiles();
}

void TForm1::SpeedButton1Click() {}
void TForm1::CheckBox2Click() {
    OptionsChanged = true;
}
void TForm1::RadioButton1Click() {
    DataExt = "txt";
}
void TForm1::RadioButton2Click() {
    DataExt = "html";
}
void TForm1::RadioButton11Click() {
    DataExt = "htm";
}
void TForm1::RadioButton3Click() {
    DataExt = app::FromQ(Edit2->text());
}
void TForm1::RadioButton4Click() {
    RadioButton1->setChecked(true);
}
void TForm1::RadioButton5Click() {
    RadioButton2->setChecked(true);
}
void TForm1::RadioButton12Click() {
    RadioButton11->setChecked(true);
}
void TForm1::RadioButton6Click() {
    RadioButton3->setChecked(true);
}
void TForm1::Edit2Change() {}
void TForm1::Edit2Exit() {}
void TForm1::CheckBox5Enter() {}
void TForm1::GroupBox3Click() {}
void TForm1::ListBox1Click() {}
void TForm1::ListBox1DblClick() {}
void TForm1::ListBox1ContextPopup() {}
