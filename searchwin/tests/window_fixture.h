// A main window over a temporary program folder, driven as a user would.
#pragma once

#include "main_window.h"
#include "result_pane.h"

#include "codec.h"
#include "fake_platform.h"
#include "qtext.h"

#include <QTest>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

class WindowFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() /
                ("quelvra-window-" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
    }
    void TearDown() override {
        form_.reset();
        std::filesystem::remove_all(root_);
    }
    static std::string S(const char* utf8) { return cp932::FromUtf8(utf8); }
    std::string Root() const { return cp932::PathFromNative(root_.string()); }
    // A Shift-JIS file under the program folder from UTF-8 text; the path is UTF-8 too.
    void Write(const std::string& rel, const std::string& utf8 = "x") {
        std::filesystem::create_directories((root_ / rel).parent_path());
        std::ofstream(root_ / rel, std::ios::binary) << cp932::FromUtf8(utf8);
    }
    std::string ReadFile(const std::filesystem::path& p) const {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    TForm1& Form() {
        if (!form_) {
            form_ = std::make_unique<TForm1>(Root());
            form_->show();
        }
        return *form_;
    }
    // Closes the window as the user would and forgets it; the next Form() is a new start.
    void CloseForm() {
        ASSERT_TRUE(form_);
        EXPECT_TRUE(form_->close());
        form_.reset();
    }
    void ChooseFolder(const QString& name) {
        TForm1& f = Form();
        const int i = f.ComboBox3->findText(name);
        ASSERT_GE(i, 0) << name.toStdString();
        f.ComboBox3->setCurrentIndex(i);
        emit f.ComboBox3->activated(i);
    }
    TResultPane& Pane() { return *Form().RichEdit1; }
    // A search for `keywordUtf8`, typed into the first field, in the listed folder `folder`.
    void SearchFor(const char* keywordUtf8, const QString& folder = QStringLiteral("data")) {
        ChooseFolder(folder);
        Form().ComboBox1->setEditText(QString::fromUtf8(keywordUtf8));
        QTest::mouseClick(Form().SearchBtn, Qt::LeftButton);
        ASSERT_FALSE(Form().Searching());
    }
    // The pane line (index) whose text is `utf8`; -1 when there is none.
    int LineOf(const char* utf8) {
        for (int i = 0; i < Pane().LineCount(); ++i)
            if (Pane().Line(i) == S(utf8)) return i;
        return -1;
    }
    std::vector<std::string> Items() {
        std::vector<std::string> out;
        for (int i = 0; i < Form().ListBox1->count(); ++i)
            out.push_back(app::FromQ(Form().ListBox1->item(i)->text()));
        return out;
    }
    static QColor Bgr(std::uint32_t c) {
        return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    }
    QColor DataGroupColor() { return Form().GroupBox3->palette().color(QPalette::Window); }
    std::string Caption() { return app::FromQ(Form().GroupBox3->title()); }

    app::FakePlatform platform_;
    std::filesystem::path root_;
    std::unique_ptr<TForm1> form_;
};
