// The real platform: Qt's dialogs, cursor, event loop, clipboard and desktop services.
#include "platform.h"

#include "codec.h"
#include "qtext.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

namespace app {
namespace {

// "Label|*.a;*.b|Label2|*.*" to Qt's "Label (*.a *.b);;Label2 (*)".
QString QtFilter(const std::string& filter) {
    const QStringList parts = ToQ(filter).split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString globs = parts[i + 1];
        globs.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (globs == QLatin1String("*.*")) globs = QStringLiteral("*");
        out << parts[i] + QStringLiteral(" (") + globs + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

QSettings UserSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quelvra"),
                     QStringLiteral("Quelvra"));
}

QString UserKey(const std::string& group, const std::string& name) {
    return QStringLiteral("EditorSearch/") + ToQ(group) + QLatin1Char('/') + ToQ(name);
}

QWidget* DialogParent() {
    return QApplication::activeWindow();
}

// Text for the clipboard: Unicode for every program, and the Shift-JIS bytes themselves for
// this one, which takes them back exactly (the way through Unicode turns the duplicate codes of
// code page 932 into their twins and codes without a character into "?").
QByteArray Bytes(const std::string& sjis) {
    return QByteArray(sjis.data(), static_cast<qsizetype>(sjis.size()));
}
QMimeData* TextData(const std::string& sjis) {
    auto* data = new QMimeData;
    data->setText(ToQ(sjis));
    data->setData(SjisMimeType, Bytes(sjis));
    return data;
}

class QtPlatform final : public Platform {
  public:
    void ShowMessage(const std::string& text, MessageKind kind) override {
        QMessageBox box(DialogParent());
        box.setText(ToQ(text));
        box.setStandardButtons(QMessageBox::Ok);
        if (kind == MessageKind::Confirm) {
            box.setWindowTitle(U("確認"));
            box.setIcon(QMessageBox::Information);
        } else {
            box.setWindowTitle(QApplication::applicationDisplayName());
        }
        box.exec();
    }

    bool Ask(const Question& question) override {
        QMessageBox box(DialogParent());
        box.setWindowTitle(U("確認"));
        box.setIcon(QMessageBox::Question);
        box.setText(ToQ(question.text));
        QPushButton* yes = box.addButton(ToQ(question.yes), QMessageBox::AcceptRole);
        QPushButton* no = box.addButton(ToQ(question.no), QMessageBox::RejectRole);
        box.setDefaultButton(question.defaultYes ? yes : no);
        box.setEscapeButton(no);
        // A wait cursor set by the caller would hide that an answer is awaited.
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        box.exec();
        QApplication::restoreOverrideCursor();
        return box.clickedButton() == yes;
    }

    void SetWaitCursor(bool on) override {
        if (on)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    }

    void ProcessEvents() override { app::PumpEvents(); }

    // In the user's own settings of the program, under "EditorSearch". The values are kept as
    // bytes: a Shift-JIS text through Unicode and back is not always the same bytes.
    std::optional<std::string> ReadUserValue(const std::string& group,
                                             const std::string& name) override {
        const QVariant v = UserSettings().value(UserKey(group, name));
        if (!v.isValid()) return std::nullopt;
        const QByteArray bytes = v.toByteArray();
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    void WriteUserValue(const std::string& group, const std::string& name,
                        const std::string& value) override {
        QSettings settings = UserSettings();
        settings.setValue(UserKey(group, name),
                          QByteArray(value.data(), static_cast<qsizetype>(value.size())));
    }

    bool ShellOpen(const std::string& target) override {
        const QString t = ToQ(target);
        const QUrl url =
            t.contains(QStringLiteral("://")) ? QUrl(t, QUrl::StrictMode) : QUrl::fromLocalFile(t);
        return url.isValid() && QDesktopServices::openUrl(url);
    }

    bool ShellOpenIn(const std::string& file, const std::string& folder) override {
        const QString dir = QString::fromStdString(cp932::PathToNative(folder));
        const QString path =
            QDir(dir).absoluteFilePath(QString::fromStdString(cp932::PathToNative(file)));
        if (!QFileInfo(path).isFile()) return false;
        // The desktop's opener, started in the folder, finds the file's program; without one,
        // Qt's own way (which cannot set the working folder).
        const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (!opener.isEmpty() && QProcess::startDetached(opener, {path}, dir)) return true;
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }

    std::optional<std::string> PickFolder(const std::string& caption,
                                          const std::string& start) override {
        const QString dir = QFileDialog::getExistingDirectory(
            DialogParent(), ToQ(caption), QString::fromStdString(cp932::PathToNative(start)));
        if (dir.isEmpty()) return std::nullopt;
        return cp932::PathFromNative(QDir::toNativeSeparators(dir).toStdString());
    }

    std::optional<std::string> OpenFileDialog(const std::string& filter,
                                              const std::string& start) override {
        const QString f = QFileDialog::getOpenFileName(
            DialogParent(), QString(), QString::fromStdString(cp932::PathToNative(start)),
            QtFilter(filter));
        if (f.isEmpty()) return std::nullopt;
        return cp932::PathFromNative(f.toStdString());
    }

    std::optional<std::string> SaveFileDialog(const std::string& filter,
                                              const std::string& start) override {
        const QString f = QFileDialog::getSaveFileName(
            DialogParent(), QString(), QString::fromStdString(cp932::PathToNative(start)),
            QtFilter(filter));
        if (f.isEmpty()) return std::nullopt;
        return cp932::PathFromNative(f.toStdString());
    }

    std::optional<std::uint32_t> PickColor(std::uint32_t initial) override {
        const QColor c = QColorDialog::getColor(ToQColor(initial), DialogParent());
        if (!c.isValid()) return std::nullopt;
        return FromQColor(c);
    }

    void SetClipboardText(const std::string& text) override {
        QApplication::clipboard()->setMimeData(TextData(text));
    }
    std::string ClipboardText() override {
        const QMimeData* data = QApplication::clipboard()->mimeData();
        if (data && data->hasFormat(SjisMimeType)) return data->data(SjisMimeType).toStdString();
        return FromQ(QApplication::clipboard()->text());
    }

    void SetClipboardRich(const std::string& plain, const std::string& html) override {
        QMimeData* data = TextData(plain);
        data->setHtml(QString::fromUtf8(html.data(), static_cast<qsizetype>(html.size())));
        QApplication::clipboard()->setMimeData(data);
    }
    std::string ClipboardRich() override {
        const QMimeData* data = QApplication::clipboard()->mimeData();
        if (!data || !data->hasHtml()) return {};
        return data->html().toStdString();
    }

    void SetClipboardBox(const std::string& text) override {
        QMimeData* data = TextData(text);
        data->setData(BoxMimeType, Bytes(text));
        QApplication::clipboard()->setMimeData(data);
    }
    bool ClipboardHasText() override {
        const QMimeData* data = QApplication::clipboard()->mimeData();
        return data && (data->hasText() || data->hasFormat(SjisMimeType));
    }
    bool ClipboardHasBox() override {
        const QMimeData* data = QApplication::clipboard()->mimeData();
        return data && data->hasFormat(BoxMimeType) &&
               (data->hasText() || data->hasFormat(SjisMimeType));
    }

    QPrinter& Printer() override {
        // Made on first use, since looking up the default printer needs the application; freed
        // with the application, before the platform's plugins go.
        if (!printer_) {
            printer_ = new QPrinter(QPrinter::HighResolution);
            qAddPostRoutine([] {
                delete printer_;
                printer_ = nullptr;
            });
        }
        return *printer_;
    }
    bool PrinterSetupDialog() override {
        QPrintDialog dialog(&Printer(), DialogParent());
        return dialog.exec() == QDialog::Accepted;
    }

  private:
    static inline QPrinter* printer_ = nullptr;
};

QtPlatform g_real;
Platform* g_current = nullptr;

} // namespace

Platform& platform() {
    return g_current ? *g_current : g_real;
}
void SetPlatform(Platform* p) {
    g_current = p;
}

} // namespace app
