// A window with one editor holding a Japanese text, to try keys, mouse, the popup menu and the
// input method by hand: `quelvra-editor-try [file]` (the file is read as Shift-JIS).
#include "codec.h"
#include "editor.h"
#include "fonts.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    editor::TEditor e;
    e.SetEditorFont(app::MapFont("FixedSys", 16));
    e.resize(720, 360);
    e.setWindowTitle(QStringLiteral("Quelvra editor"));
    if (argc > 1)
        e.Lines().LoadFromFile(argv[1]);
    else
        e.Lines().SetText(cp932::FromUtf8("日本語の文章です。\r\n表示、能力、ソース、ポイント。\r\n"
                                          "\tタブの後の行\r\nabc def ghi\r\n"));
    e.show();
    e.setFocus();
    return app.exec();
}
