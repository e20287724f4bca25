// How long the keyword colour list takes to paint a result pane shaped like a search's results,
// every listed word occurring on every hit line.
//   keyword_bench [HIT_LINES]
#include "codec.h"
#include "fake_platform.h"
#include "keyword_window.h"
#include "main_window.h"
#include "qtext.h"
#include "result_pane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const int hits = argc > 1 ? std::atoi(argv[1]) : 20000;
    app::FakePlatform platform;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / "quelvra-keyword-bench";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string programDir = cp932::PathFromNative(dir.string());
    TForm1 form(programDir);
    form.show();
    TForm2 keywords(programDir, &form);
    form.AttachKeywordWindow(&keywords);
    TResultPane& pane = *form.RichEdit1;

    const std::string header = cp932::FromUtf8("■ファイル：資料/東京.txt");
    const std::string line =
        "    " +
        cp932::FromUtf8("Ａ．東京駅から新大阪駅までは、のぞみで約２時間３０分です。abc 123");
    pane.Clear();
    pane.BeginBulkAppend();
    for (int i = 0; i < hits; ++i) {
        if (i % 20 == 0) pane.AppendLine(header);
        pane.AppendLine(line);
    }
    pane.EndBulkAppend();
    pane.SetSelStart(0);

    keywords.Memo1->setPlainText(app::U("東京駅\n//赤\n新大阪\n//緑\nのぞみ\nABC\n見当たらない語"));
    QElapsedTimer t;
    t.start();
    keywords.BitBtn1Click();
    const double ms = t.nsecsElapsed() / 1e6;
    std::printf("%d lines, 4 words on every hit line and 1 absent: painted in %.0f ms "
                "(%.1f us an occurrence)\n",
                pane.LineCount(), ms, ms * 1000.0 / (4.0 * hits));
    std::filesystem::remove_all(dir);
    return 0;
}
