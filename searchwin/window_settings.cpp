// Restoring and saving the main window's settings.
#include "main_window.h"

#include "codec.h"
#include "placement.h"
#include "qtext.h"
#include "result_pane.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

// Point sizes of the pane that a settings file may set; anything else is damage.
constexpr int kMinFontSize = 1;
constexpr int kMaxFontSize = 400;

std::vector<std::string> Items(const QComboBox* c) {
    std::vector<std::string> out;
    for (int i = 0; i < c->count(); ++i)
        out.push_back(app::FromQ(c->itemText(i)));
    return out;
}

// Replaces the drop-down list and keeps the text in the field.
void SetItems(QComboBox* c, const std::vector<std::string>& items) {
    const QString text = c->currentText();
    c->clear();
    for (const auto& item : items)
        c->addItem(app::ToQ(item));
    c->setEditText(text);
}

// A write block that fails ends there; the next block is still tried and the window closes.
template <class Block> void Guarded(Block&& block) {
    try {
        block();
    } catch (...) {
    }
}

const char* const kHistoryKeys[] = {"combobox1", "combobox2", "combobox4"};

} // namespace

void TForm1::PrepareSettingsFile() {
    IniGT1.SetDefaultDir(ddApplication);
    IniGT1.SetFence(fnParenthesis);
    const std::string exe = cp932::PathFromNative(
        QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString());
    IniGT1.SetExecutable(programDir_ + "/" + (exe.empty() ? std::string("quelvra") : exe));
    IniGT1.Loaded();
}

void TForm1::FormShow() {
    PrepareSettingsFile();
    const TIniGT& ini = IniGT1;

    app::ApplyPlacement(*this, ini.ReadWindowPlacement("form", "form1", app::PlacementOf(*this)));

    QComboBox* const histories[] = {ComboBox1, ComboBox2, ComboBox4};
    for (int i = 0; i < 3; ++i) {
        std::vector<std::string> items = Items(histories[i]);
        ini.ReadStrings("combobox", kHistoryKeys[i], items);
        SetItems(histories[i], items);
    }

    auto restoreCheck = [&](QAbstractButton* b, const char* section, const char* key) {
        b->setChecked(ini.ReadBool(section, key, b->isChecked()));
    };
    restoreCheck(CheckBox1, "check", "checkbox1");
    restoreCheck(CheckBox3, "check", "checkbox3");
    restoreCheck(CheckBox2, "check", "checkbox2");
    ShowSubfolderMode();
    restoreCheck(CheckBox4, "check", "checkbox4");
    restoreCheck(CheckBox5, "check", "checkbox5");
    // Checking an extension button runs its handler, which checks its mirror too.
    restoreCheck(RadioButton1, "radio", "radiobutton1");
    restoreCheck(RadioButton2, "radio", "radiobutton2");
    restoreCheck(RadioButton3, "radio", "radiobutton3");
    restoreCheck(RadioButton11, "radio", "radiobutton11");
    RadioButton4->setChecked(ini.ReadBool("radio", "radiobutton1", RadioButton1->isChecked()));
    RadioButton5->setChecked(ini.ReadBool("radio", "radiobutton2", RadioButton2->isChecked()));
    RadioButton6->setChecked(ini.ReadBool("radio", "radiobutton3", RadioButton3->isChecked()));
    restoreCheck(RadioButton7, "radio", "radiobutton7");
    restoreCheck(RadioButton8, "radio", "radiobutton8");
    restoreCheck(RadioButton9, "radio", "radiobutton9");
    restoreCheck(RadioButton10, "radio", "radiobutton10");

    // The field keeps its letters lower case, and refuses what it refuses when typed.
    Edit2->setText(app::ToQ(ini.ReadString("edit", "edit2", "txt")).toLower());
    Edit2Change();
    Edit2Exit(); // an empty one becomes "txt", as when the field is left empty
    // The folder dialog starts in the home folder unless another was kept.
    DialogFolder = ini.ReadString("dir", "dirx", DialogFolder);

    for (int i = 0; i < 6; ++i) {
        const std::string key = "fil" + std::to_string(i + 1);
        FileSlots[i] = ini.ReadString("fil", key, key);
    }
    UpdateSlotCaptions();

    const int size = ini.ReadInteger("font", "font1", RichEdit1->FontPointSize());
    if (size >= kMinFontSize && size <= kMaxFontSize) RichEdit1->SetFontPointSize(size);

    StrippedTextColor = static_cast<std::uint32_t>(ini.ReadColor("color", "cl1", 0xff0000));
    OutsideBracketColor = static_cast<std::uint32_t>(ini.ReadColor("color", "cl2", 255));
    InsideBracketColor = static_cast<std::uint32_t>(ini.ReadColor("color", "cl3", 0xff0000));
    DoubleBracketColor = static_cast<std::uint32_t>(ini.ReadColor("color", "cl4", 0xff00ff));

    OptionsChanged = false;
    HistoryChanged = false;

    if (RadioButton1->isChecked()) DataExt = "txt";
    if (RadioButton2->isChecked()) DataExt = "html";
    if (RadioButton11->isChecked()) DataExt = "htm";
    if (RadioButton3->isChecked()) DataExt = app::FromQ(Edit2->text());
    ShowDataExtension();
}

void TForm1::FormCloseQuery() {
    PrepareSettingsFile();
    const TIniGT& ini = IniGT1;
    const int fontSize = RichEdit1->FontPointSize();

    Guarded([&] {
        ini.WriteWindowPlacement("form", "form1", app::PlacementOf(*this));
        ini.WriteInteger("font", "font1", fontSize);
    });
    if (FontColorsChanged) {
        Guarded([&] {
            ini.WriteInteger("font", "font1", fontSize);
            ini.WriteColor("color", "cl1", static_cast<std::int32_t>(StrippedTextColor));
            ini.WriteColor("color", "cl2", static_cast<std::int32_t>(OutsideBracketColor));
            ini.WriteColor("color", "cl3", static_cast<std::int32_t>(InsideBracketColor));
            ini.WriteColor("color", "cl4", static_cast<std::int32_t>(DoubleBracketColor));
        });
    }
    if (SlotsChanged) {
        Guarded([&] {
            for (int i = 0; i < 6; ++i)
                ini.WriteString("fil", "fil" + std::to_string(i + 1), FileSlots[i]);
        });
    }
    if (HistoryChanged) {
        Guarded([&] {
            const QComboBox* const histories[] = {ComboBox1, ComboBox2, ComboBox4};
            for (int i = 0; i < 3; ++i)
                ini.WriteStrings("combobox", kHistoryKeys[i], Items(histories[i]));
        });
    }
    if (OptionsChanged) {
        Guarded([&] {
            ini.WriteBool("check", "checkbox1", CheckBox1->isChecked());
            ini.WriteBool("check", "checkbox3", CheckBox3->isChecked());
            ini.WriteBool("check", "checkbox2", CheckBox2->isChecked());
            ini.WriteBool("check", "checkbox4", CheckBox4->isChecked());
            ini.WriteBool("check", "checkbox5", CheckBox5->isChecked());
            ini.WriteBool("radio", "radiobutton1", RadioButton1->isChecked());
            ini.WriteBool("radio", "radiobutton2", RadioButton2->isChecked());
            ini.WriteBool("radio", "radiobutton3", RadioButton3->isChecked());
            ini.WriteBool("radio", "radiobutton11", RadioButton11->isChecked());
            ini.WriteBool("radio", "radiobutton7", RadioButton7->isChecked());
            ini.WriteBool("radio", "radiobutton8", RadioButton8->isChecked());
            ini.WriteBool("radio", "radiobutton9", RadioButton9->isChecked());
            ini.WriteBool("radio", "radiobutton10", RadioButton10->isChecked());
            ini.WriteString("edit", "edit2", app::FromQ(Edit2->text()));
            ini.WriteString("dir", "dirx", DialogFolder);
        });
    }
}
