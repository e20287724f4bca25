// Keyword operators and the web search.
#include "main_window.h"

#include "keyword_window.h"
#include "qtext.h"
#include "result_pane.h"

#include <QLineEdit>
#include <cstring>

namespace {

// Appends `suffix` to a field's text, or puts `prefix` before it; the caret goes to the end.
void EditField(QComboBox* field, const QString& prefix, const QString& suffix) {
    const QString text = prefix + field->currentText() + suffix;
    field->setEditText(text);
    if (QLineEdit* edit = field->lineEdit()) edit->setCursorPosition(static_cast<int>(text.size()));
}

struct Engine {
    const char* host;
    const char* query; // path and query before the keywords
    const char* after; // after the keywords
};

// The engines' Japanese sites, in the order of RadioButton7 to RadioButton10.
const Engine kEngines[] = {
    {"www.google.co.jp", "/search?hl=ja&inlang=ja&ie=Shift_JIS&oe=Shift_JIS&q=", "&lr=lang_ja"},
    {"search.yahoo.co.jp", "/bin/query?p=", ""},
    {"www.excite.co.jp", "/search.gw?target=combined&look=excite_jp&lang=jp&search=", "&pref=jp"},
    {"www.infoseek.co.jp", "/Titles?col=JW&qt=", ""},
};

// A keyword as a query value: the characters that would end the value or change its meaning
// ("&" the next key, "+" a space, "#" the address, "%" an escape, "=" and ";") are escaped here,
// so that the engine receives the keyword as typed. Everything else, Shift-JIS bytes and
// blanks included, stays for the launcher to encode.
std::string QueryValue(const std::string& keyword) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < keyword.size(); ++i) {
        // No second byte of a two-byte character is below 0x40: these bytes are characters.
        const auto b = static_cast<unsigned char>(keyword[i]);
        if (b != 0 && std::strchr("&+#%=;", b)) {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        } else {
            out += static_cast<char>(b);
        }
    }
    return out;
}

// The result pane as the keyword window paints it.
class PaneForKeywords : public TKeywordPane {
  public:
    explicit PaneForKeywords(TResultPane* pane) : pane_(pane) {}
    int LineCount() const override { return pane_->LineCount(); }
    std::int64_t SelStart() const override { return pane_->SelStart(); }
    std::int64_t SelLength() const override { return pane_->SelLength(); }
    void Select(std::int64_t start, std::int64_t length) override { pane_->Select(start, length); }
    std::int64_t FindText(const std::string& text, std::int64_t from) const override {
        return pane_->FindText(text, from);
    }
    void Paint(std::int64_t start, std::int64_t length, std::uint32_t color) override {
        pane_->PaintRange(start, length, color, true, false);
    }
    void ScrollCaretIntoView() override { pane_->ScrollCaretIntoView(); }
    void TakeFocus() override { pane_->setFocus(); }
    void BeginUpdate() override { pane_->BeginUpdate(); }
    void EndUpdate() override { pane_->EndUpdate(); }

  private:
    TResultPane* pane_;
};

} // namespace

void TForm1::or1Click() {
    QComboBox* field = ActiveKeywordField();
    if (field && !field->currentText().isEmpty()) EditField(field, {}, QStringLiteral("|"));
}

void TForm1::not1Click() {
    QComboBox* field = ActiveKeywordField();
    if (field && !field->currentText().isEmpty()) EditField(field, {}, app::U("[^◆]"));
}

void TForm1::notgoogle1Click() {
    if (QComboBox* field = ActiveKeywordField()) EditField(field, QStringLiteral("-"), {});
}

void TForm1::BitBtn11Click() {
    HistoryChanged = true;
    // As the search's history update, but the texts as they stand: neither trimmed nor cleared.
    for (QComboBox* f : {ComboBox1, ComboBox2, ComboBox4})
        if (!f->currentText().isEmpty()) UpdateHistory(f);
    for (QComboBox* f : {ComboBox1, ComboBox2, ComboBox4})
        if (f->count() > 10) f->removeItem(10);

    const std::string keywords = QueryValue(app::FromQ(ComboBox1->currentText())) + " " +
                                 QueryValue(app::FromQ(ComboBox2->currentText())) + " " +
                                 QueryValue(app::FromQ(ComboBox4->currentText()));
    const QRadioButton* buttons[] = {RadioButton7, RadioButton8, RadioButton9, RadioButton10};
    for (int i = 0; i < 4; ++i)
        if (buttons[i]->isChecked())
            MailAndHP1.HomePageAddress = std::string("http://") + kEngines[i].host +
                                         kEngines[i].query + keywords + kEngines[i].after;
    // No browser, or none for the address: the shell says so in Opened; the user sees nothing.
    MailAndHP1.OpenHomePage();
}

void TForm1::AttachKeywordWindow(TForm2* form) {
    Form2 = form;
    if (!KeywordPane) KeywordPane = std::make_unique<PaneForKeywords>(RichEdit1);
    if (form) form->Pane = KeywordPane.get();
}

void TForm1::BitBtn8Click() {
    if (Form2) Form2->exec();
}
