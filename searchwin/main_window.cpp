#include "main_window.h"

#include "codec.h"
#include "fonts.h"
#include "platform.h"
#include "qtext.h"
#include "result_pane.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QVBoxLayout>
#include <utility>

using app::U;

namespace {

constexpr int kPanelHeight = 153;
constexpr int kKeywordGroupWidth = 455;

QToolButton* PictureButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon,
                           const char* tip) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(parent->style()->standardIcon(icon));
    b->setIconSize(QSize(22, 22));
    b->setAutoRaise(false);
    if (tip && *tip) b->setToolTip(U(tip));
    b->setAccessibleName(b->toolTip());
    return b;
}

template <class T> T* Named(T* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

} // namespace

TForm1::TForm1(const std::string& programDir, QWidget* parent) : QMainWindow(parent) {
    programDir_ = programDir.empty()
                      ? cp932::PathFromNative(QCoreApplication::applicationDirPath().toStdString())
                      : programDir;
    while (programDir_.size() > 1 && programDir_.back() == '/')
        programDir_.pop_back();
    DialogFolder = cp932::PathFromNative(QDir::homePath().toStdString());

    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(U("Quelvra　v5.7"));
    setFont(app::MapFont(cp932::FromUtf8("ＭＳ Ｐゴシック"), 14));
    resize(807, 617);

    CreateControls();
    CreateMenus();
    ConnectHandlers();
    Grep1.ProcessMessages = [this] {
        ShowFilesLeft();
        RichEdit1->PublishIfDue();
        app::platform().ProcessEvents();
    };
    Grep1.SetUseFuzzyCharDic(false);
    Grep1.SetUseSynonymDic(false);

    // FormCreate: the folder list, and the activation handler.
    ListFolders();
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (s == Qt::ApplicationActive) AppActivate();
    });
}

TForm1::~TForm1() = default;

std::string TForm1::ProgramPath(const std::string& relative) const {
    if (!relative.empty() && relative[0] == '/') return relative;
    return programDir_ + "/" + relative;
}

void TForm1::CreateControls() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    Panel1 = Named(new QWidget(central), "Panel1");
    Panel1->setFixedHeight(kPanelHeight);
    column->addWidget(Panel1);

    // Extension group and the marks check box, under the data group until it is shifted aside.
    GroupBox4 = Named(new QGroupBox(U("拡張子"), Panel1), "GroupBox4");
    GroupBox4->setGeometry(8, 2, 108, 112);
    RadioButton1 = Named(new QRadioButton(U("*.txt"), GroupBox4), "RadioButton1");
    RadioButton2 = Named(new QRadioButton(U("*.html　◇"), GroupBox4), "RadioButton2");
    RadioButton11 = Named(new QRadioButton(U("*.htm 　◆"), GroupBox4), "RadioButton11");
    RadioButton3 = Named(new QRadioButton(U("*.    　□"), GroupBox4), "RadioButton3");
    RadioButton1->setGeometry(6, 18, 100, 20);
    RadioButton2->setGeometry(6, 40, 100, 20);
    RadioButton11->setGeometry(6, 62, 100, 20);
    RadioButton3->setGeometry(6, 84, 100, 20);
    RadioButton1->setChecked(true);
    Edit2 = Named(new QLineEdit(QStringLiteral("txt"), GroupBox4), "Edit2");
    Edit2->setGeometry(38, 84, 34, 20);
    Edit2->setAttribute(Qt::WA_InputMethodEnabled, false);
    Edit2->setAccessibleName(U("その他の拡張子"));
    CheckBox5 = Named(new QCheckBox(U("◇◆□（裏技）"), Panel1), "CheckBox5");
    CheckBox5->setToolTip(
        U("ﾌｫﾙﾀﾞｰに◇◆□のいずれかの文字を含めておくことで拡張子の選択を自動化します。"));
    CheckBox5->setGeometry(8, 120, 108, 22);

    GroupBox3 = Named(new QGroupBox(U("検索データ　  *.txt "), Panel1), "GroupBox3");
    GroupBox3->setAutoFillBackground(true);
    GroupBox3->installEventFilter(this);
    ComboBox3 = Named(new QComboBox(GroupBox3), "ComboBox3");
    ComboBox3->setEditable(false);
    ComboBox3->setMaxVisibleItems(20);
    ComboBox3->setToolTip(U("フォルダー名が表示されます"));
    ComboBox3->setAccessibleName(ComboBox3->toolTip());
    Edit1 = Named(new QLineEdit(GroupBox3), "Edit1");
    Edit1->setReadOnly(true);
    Edit1->setAccessibleName(U("選んだフォルダー"));
    SpeedButton1 =
        PictureButton(GroupBox3, "SpeedButton1", QStyle::SP_DirOpenIcon, "フォルダーを選びます");
    ListBox1 = Named(new QListWidget(GroupBox3), "ListBox1");
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox1->setFocusPolicy(Qt::ClickFocus);
    ListBox1->setToolTip(U("ファイル名のダブルクリックでファイルが開きます"));
    ListBox1->setAccessibleName(ListBox1->toolTip());
    ListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    RadioButton4 = Named(new QRadioButton(GroupBox3), "RadioButton4");
    RadioButton5 = Named(new QRadioButton(GroupBox3), "RadioButton5");
    RadioButton12 = Named(new QRadioButton(GroupBox3), "RadioButton12");
    RadioButton6 = Named(new QRadioButton(GroupBox3), "RadioButton6");
    RadioButton4->setToolTip(U("*.txt"));
    RadioButton5->setToolTip(U("*.html"));
    RadioButton12->setToolTip(U("*.htm"));
    RadioButton6->setToolTip(U("*.???"));
    for (QRadioButton* r : {RadioButton4, RadioButton5, RadioButton12, RadioButton6})
        r->setAccessibleName(r->toolTip());
    RadioButton4->setChecked(true);
    Animate1 = Named(new QLabel(U("検索中…"), GroupBox3), "Animate1");
    Animate1->hide();

    // Keyword group, anchored at the right.
    GroupBox1 = Named(new QGroupBox(Panel1), "GroupBox1");
    auto keywordField = [this](const char* name, const char* spoken) {
        auto* c = Named(new QComboBox(GroupBox1), name);
        c->setEditable(true);
        // The field takes the focus for a screen reader; the box itself is read by its text.
        c->setAccessibleName(U(spoken));
        c->lineEdit()->setAccessibleName(U(spoken));
        c->setMaxVisibleItems(10);
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setDuplicatesEnabled(true);
        c->setContextMenuPolicy(Qt::CustomContextMenu);
        c->setAttribute(Qt::WA_InputMethodEnabled, true);
        return c;
    };
    ComboBox1 = keywordField("ComboBox1", "キーワード１");
    ComboBox2 = keywordField("ComboBox2", "キーワード２");
    ComboBox4 = keywordField("ComboBox4", "キーワード３");
    Label1 = Named(new QLabel(QStringLiteral("and"), GroupBox1), "Label1");
    Label4 = Named(new QLabel(QStringLiteral("and"), GroupBox1), "Label4");
    ComboBox1->setGeometry(8, 16, 128, 24);
    Label1->setGeometry(140, 20, 24, 16);
    ComboBox2->setGeometry(166, 16, 128, 24);
    Label4->setGeometry(298, 20, 24, 16);
    ComboBox4->setGeometry(324, 16, 124, 24);

    SearchBtn = Named(new QPushButton(U("検索"), GroupBox1), "SearchBtn");
    SearchBtn->setDefault(true);
    SearchBtn->setAutoDefault(true);
    SearchBtn->setGeometry(8, 46, 80, 30);
    BitBtn5 = PictureButton(GroupBox1, "BitBtn5", QStyle::SP_BrowserStop, "検索を中止します");
    BitBtn5->setGeometry(8, 46, 80, 30);
    BitBtn5->hide();
    auto checkButton = [this](const char* name, std::uint32_t color, int y, const char* spoken) {
        auto* b = Named(new QPushButton(QStringLiteral("check"), GroupBox1), name);
        b->setAccessibleDescription(U(spoken));
        QPalette p = b->palette();
        p.setColor(QPalette::ButtonText, app::ToQColor(color));
        b->setPalette(p);
        QFont f = b->font();
        f.setPixelSize(9);
        b->setFont(f);
        b->setGeometry(92, y, 40, 10);
        return b;
    };
    BitBtn7 = checkButton("BitBtn7", 0x800080, 46, "キーワード１の語に色を付けます");
    BitBtn6 = checkButton("BitBtn6", 0xff00ff, 56, "キーワード２の語に色を付けます");
    BitBtn10 = checkButton("BitBtn10", 0xff0000, 66, "キーワード３の語に色を付けます");

    auto statusLabel = [this](const char* name, int y) {
        auto* l = Named(new QLabel(GroupBox1), name);
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, app::ToQColor(255));
        l->setPalette(p);
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
        l->setGeometry(136, y, 90, 16);
        return l;
    };
    Label2 = statusLabel("Label2", 46);
    Label3 = statusLabel("Label3", 62);

    CheckBox1 = Named(new QCheckBox(U("同"), GroupBox1), "CheckBox1");
    CheckBox1->setToolTip(U("文字同一視辞書を使用します"));
    CheckBox1->setChecked(true);
    CheckBox2 = Named(new QCheckBox(U("下"), GroupBox1), "CheckBox2");
    CheckBox2->setToolTip(U("下位フォルダーを検索対象に含めます"));
    CheckBox3 = Named(new QCheckBox(U("★"), GroupBox1), "CheckBox3");
    CheckBox3->setToolTip(U("文頭に★を付けます"));
    CheckBox1->setGeometry(230, 48, 44, 22);
    CheckBox2->setGeometry(276, 48, 44, 22);
    CheckBox3->setGeometry(322, 48, 44, 22);

    BitBtn1 = PictureButton(GroupBox1, "BitBtn1", QStyle::SP_FileDialogDetailedView,
                            "結果をすべてコピーします");
    BitBtn3 = PictureButton(GroupBox1, "BitBtn3", QStyle::SP_FileDialogContentsView,
                            "結果の中を検索します");
    BitBtn4 = PictureButton(GroupBox1, "BitBtn4", QStyle::SP_DriveFDIcon, "結果を印刷します");
    BitBtn8 =
        PictureButton(GroupBox1, "BitBtn8", QStyle::SP_FileDialogListView, "キーワードの色分け");
    BitBtn9 = PictureButton(GroupBox1, "BitBtn9", QStyle::SP_DialogOpenButton,
                            "ヒット行のファイルを開きます");
    BitBtn13 = PictureButton(GroupBox1, "BitBtn13", QStyle::SP_FileLinkIcon,
                             "ヒット行のファイルを開きます");
    BitBtn2 = PictureButton(GroupBox1, "BitBtn2", QStyle::SP_MessageBoxInformation, "情報");
    int x = 8;
    for (QToolButton* b : {BitBtn1, BitBtn3, BitBtn4, BitBtn8, BitBtn9, BitBtn2}) {
        b->setGeometry(x, 82, 34, 30);
        x += 38;
    }
    BitBtn13->setGeometry(BitBtn9->geometry());
    BitBtn13->hide();
    BitBtn9->setEnabled(false);
    CheckBox4 = Named(new QCheckBox(GroupBox1), "CheckBox4");
    CheckBox4->setToolTip(U("ブラウザを表示します"));
    CheckBox4->setAccessibleName(CheckBox4->toolTip());
    CheckBox4->setGeometry(BitBtn9->x() + 22, 100, 14, 14);
    CheckBox4->hide();

    BitBtn11 = PictureButton(GroupBox1, "BitBtn11", QStyle::SP_DriveNetIcon, "ウェブ検索");
    BitBtn11->setGeometry(8, 116, 34, 30);
    RadioButton7 = Named(new QRadioButton(QStringLiteral("google"), GroupBox1), "RadioButton7");
    RadioButton8 = Named(new QRadioButton(QStringLiteral("yahoo!"), GroupBox1), "RadioButton8");
    RadioButton9 = Named(new QRadioButton(QStringLiteral("excite"), GroupBox1), "RadioButton9");
    RadioButton10 = Named(new QRadioButton(QStringLiteral("infoseek"), GroupBox1), "RadioButton10");
    x = 48;
    for (QRadioButton* r : {RadioButton7, RadioButton8, RadioButton9, RadioButton10}) {
        r->setGeometry(x, 122, 84, 20);
        x += 86;
    }
    RadioButton7->setChecked(true);

    // The result pane fills the rest; its scratch twin stays hidden.
    RichEdit1 = Named(new TResultPane(central), "RichEdit1");
    RichEdit1->setFont(app::MapFont(cp932::FromUtf8("ＭＳ Ｐゴシック"), 15));
    RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    RichEdit1->setAccessibleName(U("検索結果"));
    column->addWidget(RichEdit1, 1);
    RichEdit2 = Named(new TResultPane(central), "RichEdit2");
    RichEdit2->SetWrap(false);
    RichEdit2->setAccessibleName(U("作業用"));
    RichEdit2->setFont(app::MapFont(cp932::FromUtf8("ＭＳ Ｐゴシック"), 14));
    RichEdit2->hide();
    column->addWidget(RichEdit2);

    GroupBox3->raise();
    LayoutPanel();
}

void TForm1::CreateMenus() {
    auto action = [](QMenu* menu, const char* name, const char* caption) {
        QAction* a = menu->addAction(U(caption));
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    auto submenu = [](QMenu* menu, const char* name, const char* caption) {
        QMenu* m = menu->addMenu(U(caption));
        m->setObjectName(QString::fromLatin1(name));
        m->menuAction()->setObjectName(QString::fromLatin1(name));
        return m;
    };
    PopupMenu1 = Named(new QMenu(this), "PopupMenu1");
    N1 = action(PopupMenu1, "N1", "括弧の削除");
    N2 = submenu(PopupMenu1, "N2", "マーカー");
    N23 = action(N2, "N23", "赤");
    N3 = action(N2, "N3", "緑");
    N4 = action(N2, "N4", "青");
    N5 = action(N2, "N5", "ピンク");
    N6 = action(N2, "N6", "白（消す）");
    N7 = action(N2, "N7", "黒（戻す）");
    N24 = action(PopupMenu1, "N24", "マーカー中止");
    File1 = submenu(PopupMenu1, "File1", "ファイル");
    N8 = action(File1, "N8", "未登録");
    N9 = action(File1, "N9", "未登録");
    N10 = action(File1, "N10", "未登録");
    N13 = action(File1, "N13", "未登録");
    N14 = action(File1, "N14", "未登録");
    N15 = action(File1, "N15", "未登録");
    Save1 = submenu(PopupMenu1, "Save1", "保存");
    N12 = action(Save1, "N12", "保存する（仮に）");
    N11 = action(Save1, "N11", "読み出す（仮に）");
    N21 = action(Save1, "N21", "保存する");
    N22 = action(Save1, "N22", "読み出す");
    Font1 = submenu(PopupMenu1, "Font1", "フォント");
    N16 = action(Font1, "N16", "　９ｐ");
    N17 = action(Font1, "N17", "１０ｐ");
    N18 = action(Font1, "N18", "１１ｐ");
    N19 = action(Font1, "N19", "１２ｐ");
    N20 = action(Font1, "N20", "１３ｐ");
    N25 = submenu(PopupMenu1, "N25", "カラー");
    N26 = action(N25, "N26", "括弧を除いた部分");
    N27 = action(N25, "N27", "括弧の外の部分");
    N28 = action(N25, "N28", "括弧の中の部分");
    N29 = action(N25, "N29", "二重括弧の部分");

    PopupMenu2 = Named(new QMenu(this), "PopupMenu2");
    or1 = action(PopupMenu2, "or1", "or");
    not1 = action(PopupMenu2, "not1", "not　ﾃｷｽﾄ検索の場合");
    notgoogle1 = action(PopupMenu2, "notgoogle1", "not　googleの場合");
}

void TForm1::ConnectHandlers() {
    connect(SearchBtn, &QPushButton::clicked, this, &TForm1::SearchBtnClick);
    connect(BitBtn5, &QToolButton::clicked, this, &TForm1::BitBtn5Click);
    for (QComboBox* c : {ComboBox1, ComboBox2, ComboBox4}) {
        // Enter in a keyword field presses the default button.
        connect(c->lineEdit(), &QLineEdit::returnPressed, this, [this] {
            if (SearchBtn->isVisible() && SearchBtn->isEnabled()) SearchBtnClick();
        });
        connect(c, &QWidget::customContextMenuRequested, this,
                [this, c](const QPoint& p) { PopupMenu2->exec(c->mapToGlobal(p)); });
        c->lineEdit()->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(c->lineEdit(), &QWidget::customContextMenuRequested, this,
                [this, c](const QPoint& p) { PopupMenu2->exec(c->lineEdit()->mapToGlobal(p)); });
    }
    connect(RichEdit1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu1->exec(RichEdit1->viewport()->mapToGlobal(p)); });
    connect(RichEdit1, &TResultPane::SelectionChanged, this, &TForm1::RichEdit1SelectionChange);

    // Folder and file list.
    connect(ComboBox3, qOverload<int>(&QComboBox::activated), this, [this](int) {
        ComboBox3Click();
        ComboBox3Change();
    });
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm1::SpeedButton1Click);
    connect(CheckBox2, &QCheckBox::clicked, this, &TForm1::CheckBox2Click);
    connect(RadioButton1, &QRadioButton::toggled, this, [this](bool on) {
        if (on) RadioButton1Click();
    });
    connect(RadioButton2, &QRadioButton::toggled, this, [this](bool on) {
        if (on) RadioButton2Click();
    });
    connect(RadioButton11, &QRadioButton::toggled, this, [this](bool on) {
        if (on) RadioButton11Click();
    });
    connect(RadioButton3, &QRadioButton::toggled, this, [this](bool on) {
        if (on) RadioButton3Click();
    });
    connect(RadioButton4, &QRadioButton::clicked, this, &TForm1::RadioButton4Click);
    connect(RadioButton5, &QRadioButton::clicked, this, &TForm1::RadioButton5Click);
    connect(RadioButton12, &QRadioButton::clicked, this, &TForm1::RadioButton12Click);
    connect(RadioButton6, &QRadioButton::clicked, this, &TForm1::RadioButton6Click);
    connect(Edit2, &QLineEdit::textEdited, this, [this](const QString& t) {
        const QString lower = t.toLower(); // the field forces lower case
        if (lower != t) Edit2->setText(lower);
        Edit2Change();
    });
    connect(Edit2, &QLineEdit::editingFinished, this, &TForm1::Edit2Exit);
    CheckBox5->installEventFilter(this);
    connect(ListBox1, &QListWidget::itemClicked, this, [this] { ListBox1Click(); });
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this] { ListBox1DblClick(); });
    connect(ListBox1, &QWidget::customContextMenuRequested, this,
            [this] { ListBox1ContextPopup(); });

    // Pane commands.
    connect(N1, &QAction::triggered, this, &TForm1::N1Click);
    connect(N23, &QAction::triggered, this, [this] { SetMarker(255); });
    connect(N3, &QAction::triggered, this, [this] { SetMarker(0x8000); });
    connect(N4, &QAction::triggered, this, [this] { SetMarker(0xff0000); });
    connect(N5, &QAction::triggered, this, [this] { SetMarker(0xff00ff); });
    connect(N6, &QAction::triggered, this, [this] { SetMarker(0xffffff); });
    connect(N7, &QAction::triggered, this, [this] { SetMarker(0); });
    connect(N24, &QAction::triggered, this, &TForm1::N24Click);
    connect(Font1, &QMenu::aboutToShow, this, &TForm1::Font1Click);
    connect(N16, &QAction::triggered, this, [this] { SetPaneFontSize(9); });
    connect(N17, &QAction::triggered, this, [this] { SetPaneFontSize(10); });
    connect(N18, &QAction::triggered, this, [this] { SetPaneFontSize(11); });
    connect(N19, &QAction::triggered, this, [this] { SetPaneFontSize(12); });
    connect(N20, &QAction::triggered, this, [this] { SetPaneFontSize(13); });
    connect(N25, &QMenu::aboutToShow, this, &TForm1::N25Click);
    connect(N26, &QAction::triggered, this, [this] { PickBracketColor(StrippedTextColor); });
    connect(N27, &QAction::triggered, this, [this] { PickBracketColor(OutsideBracketColor); });
    connect(N28, &QAction::triggered, this, [this] { PickBracketColor(InsideBracketColor); });
    connect(N29, &QAction::triggered, this, [this] { PickBracketColor(DoubleBracketColor); });
    connect(BitBtn1, &QToolButton::clicked, this, &TForm1::BitBtn1Click);
    connect(BitBtn3, &QToolButton::clicked, this, &TForm1::BitBtn3Click);
    connect(BitBtn4, &QToolButton::clicked, this, &TForm1::BitBtn4Click);
    connect(BitBtn2, &QToolButton::clicked, this, &TForm1::BitBtn2Click);

    // Result files and slots.
    connect(N8, &QAction::triggered, this, [this] { OpenSlot(0); });
    connect(N9, &QAction::triggered, this, [this] { OpenSlot(1); });
    connect(N10, &QAction::triggered, this, [this] { OpenSlot(2); });
    connect(N13, &QAction::triggered, this, [this] { OpenSlot(3); });
    connect(N14, &QAction::triggered, this, [this] { OpenSlot(4); });
    connect(N15, &QAction::triggered, this, [this] { OpenSlot(5); });
    connect(N12, &QAction::triggered, this, &TForm1::N12Click);
    connect(N11, &QAction::triggered, this, &TForm1::N11Click);
    connect(N21, &QAction::triggered, this, &TForm1::N21Click);
    connect(N22, &QAction::triggered, this, &TForm1::N22Click);

    // Query operators and web search.
    connect(or1, &QAction::triggered, this, &TForm1::or1Click);
    connect(not1, &QAction::triggered, this, &TForm1::not1Click);
    connect(notgoogle1, &QAction::triggered, this, &TForm1::notgoogle1Click);
    connect(BitBtn11, &QToolButton::clicked, this, &TForm1::BitBtn11Click);
    connect(BitBtn8, &QToolButton::clicked, this, &TForm1::BitBtn8Click);
    for (QRadioButton* r : {RadioButton7, RadioButton8, RadioButton9, RadioButton10})
        connect(r, &QRadioButton::clicked, this, [this] { OptionsChanged = true; });

    // Opening a hit and the check buttons.
    connect(BitBtn9, &QToolButton::clicked, this, &TForm1::BitBtn9Click);
    connect(BitBtn13, &QToolButton::clicked, this, &TForm1::BitBtn9Click);
    connect(BitBtn7, &QPushButton::clicked, this, &TForm1::BitBtn7Click);
    connect(BitBtn6, &QPushButton::clicked, this, &TForm1::BitBtn6Click);
    connect(BitBtn10, &QPushButton::clicked, this, &TForm1::BitBtn10Click);

    // Settings flags of the option check boxes.
    for (QCheckBox* c : {CheckBox1, CheckBox3})
        connect(c, &QCheckBox::clicked, this, [this] { OptionsChanged = true; });
}

void TForm1::LayoutPanel() {
    const int w = Panel1->width() > 0 ? Panel1->width() : width();
    const int groupLeft = std::max(8 + 330 + 4, w - kKeywordGroupWidth - 4);
    GroupBox1->setGeometry(groupLeft, 2, kKeywordGroupWidth, kPanelHeight - 4);
    // The data group keeps its left edge and follows the window's width on the right.
    const int left = DataGroupShifted ? 118 : 8;
    const int right = groupLeft - 6;
    GroupBox3->setGeometry(left, 2, std::max(160, right - left), kPanelHeight - 4);
    const int gw = GroupBox3->width();
    ComboBox3->setGeometry(8, 20, gw - 48, 24);
    Edit1->setGeometry(8, 20, gw - 70, 24);
    SpeedButton1->setGeometry(gw - 36, 18, 28, 28);
    ListBox1->setGeometry(8, 48, gw - 16, GroupBox3->height() - 54);
    int x = gw - 70;
    for (QRadioButton* r : {RadioButton4, RadioButton5, RadioButton12, RadioButton6}) {
        r->setGeometry(x, 0, 16, 16);
        x += 15;
    }
    Animate1->setGeometry(gw - 120, 0, 48, 16);
}

void TForm1::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    LayoutPanel();
}

bool TForm1::eventFilter(QObject* watched, QEvent* e) {
    if (watched == GroupBox3 && e->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() == Qt::LeftButton) GroupBox3Click();
    } else if (watched == CheckBox5 && e->type() == QEvent::FocusIn) {
        CheckBox5Enter();
    }
    return QMainWindow::eventFilter(watched, e);
}

QComboBox* TForm1::ActiveKeywordField() const {
    // The window's own focus child: an open context menu does not change it.
    QWidget* f = focusWidget();
    for (QComboBox* c : {ComboBox1, ComboBox2, ComboBox4})
        if (f && (f == c || c->isAncestorOf(f))) return c;
    return nullptr;
}

void TForm1::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
        LayoutPanel();
    }
}

void TForm1::closeEvent(QCloseEvent* e) {
    if (searching_) {
        // Stop the run first; the window closes when the grep has unwound.
        closeAfterSearch_ = true;
        Grep1.Cancel = true;
        StopMarking = true;
        e->ignore();
        return;
    }
    // A window closed before it was ever shown never read its settings: writing them would
    // only put the defaults over the user's.
    if (shownOnce_) FormCloseQuery();
    e->accept();
}
