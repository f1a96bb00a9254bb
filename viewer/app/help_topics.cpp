#include "viewer/app/help_topics.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QWidget>

#include <array>

#include "viewer/app/application.h"
#include "viewer/components/message_service.h"

namespace brevant {
namespace {

// The pages of the help set by help context; "" where a context has none.
constexpr std::array<const char*, kHelpTopicLines> kTopics = {
    "",
    "customview.htm",
    "desktop.htm",
    "displayquality.htm",
    "document navigation.htm",
    "documentinfo.htm",
    "",
    "file.htm",
    "Filemenu.htm",
    "Font Info.htm",
    "General Info.htm",
    "handtool.htm",
    "Security Info.htm",
    "Go To Page.htm",
    "install PDB.htm",
    "installation.htm",
    "main.htm",
    "mainmenu.htm",
    "Show Page on Device.htm",
    "navigation.htm",
    "open and customize.htm",
    "Introduction.htm",
    "options.htm",
    "options2.htm",
    "palm.htm",
    "prc install.htm",
    "Prepare Pages.htm",
    "previewpageinpalmformat.htm",
    "",
    "remove.htm",
    "Saving the document as a PDB.htm",
    "scrollbutton.htm",
    "selectpalmformat.htm",
    "showhidenavigation pane.htm",
    "startupfileopenoptions.htm",
    "Table of Contents.hhc",
    "thumbnail.htm",
    "tools.htm",
    "view.htm",
    "viewpdfs.htm",
    "Zoom.htm",
    "Image Clarity.htm",
    "TOC (Table of Contents) Pane.htm",
    "Bookmarks Pane.htm",
    "To Device Pane.htm",
    "Files Pane.htm",
    "Opening a Document.htm",
    "Preview Pages.htm",
    "Display Graphics.htm",
    "Save as PDB.htm",
    "Previous Page.htm",
    "First Page.htm",
    "Next Page.htm",
    "Last Page.htm",
    "Previous View.htm",
    "Next View.htm",
    "Hand Tool.htm",
    "Show Document Management Pane.htm",
    "Contents.htm",
    "About.htm",
};

constexpr const char* kHelpContextProperty = "helpContext";

QByteArray helpFileBytes(const QString& suffix) {
    return QFile::encodeName(helpFileName() + suffix);
}

// Without a desktop opener the browser never starts: the user learns
// where the help pages are, to open them by hand.
win::HWND reportUnshownHelp(win::HWND shown) {
    if (shown == 0) {
        showMessage({QStringLiteral("Help"),
                     QStringLiteral("No program was found to open the help pages in a web "
                                    "browser.\nThe help pages are in the folder:\n") +
                         QDir::toNativeSeparators(helpFileName())});
    }
    return shown;
}

}  // namespace

QString helpTopicLine(int n) {
    if (n < 0 || n >= kHelpTopicLines)
        return {};
    return QString::fromLatin1(kTopics[static_cast<std::size_t>(n)]);
}

QString helpFileName() {
    if (auto* app = dynamic_cast<BrevantApplication*>(QCoreApplication::instance());
        app != nullptr && !app->helpFile().isEmpty())
        return app->helpFile();
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("lumbra.chm"));
}

win::HWND ShowHelpTopic(const QString& topic) {
    const QByteArray file = helpFileBytes(QStringLiteral("::") + topic);
    return reportUnshownHelp(win::HtmlHelpA(0, file.constData(), win::HH_DISPLAY_TOPIC, 0));
}

win::HWND ShowHelpContents() {
    const QByteArray file = helpFileBytes(QString());
    return reportUnshownHelp(win::HtmlHelpA(0, file.constData(), win::HH_DISPLAY_TOC, 0));
}

void CloseHelp() {
    win::HtmlHelpA(0, nullptr, win::HH_CLOSE_ALL, 0);
}

void FormHelp(int context) {
    if (context == 0)
        context = 2;
    const QString page = helpTopicLine(context);
    if (page.isEmpty())
        ShowHelpContents();
    else
        ShowHelpTopic(QStringLiteral("/") + page);
}

void setHelpContext(QWidget* widget, int context) {
    widget->setProperty(kHelpContextProperty, context);
}

int helpContext(const QWidget* widget) {
    return widget->property(kHelpContextProperty).toInt();
}

void bindFormHelp(QWidget* form) {
    // F1 that no control took reaches the form; the request names the
    // focused control's context, or the nearest one above it.
    class F1Filter : public QObject {
    public:
        explicit F1Filter(QWidget* form) : QObject(form), form_(form) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() != QEvent::KeyPress ||
                static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1)
                return false;
            const QWidget* at = QApplication::focusWidget();
            if (at == nullptr || (at != form_ && !form_->isAncestorOf(at)))
                at = form_;
            int context = 0;
            for (; at != nullptr && context == 0; at = at == form_ ? nullptr : at->parentWidget())
                context = helpContext(at);
            FormHelp(context);
            return true;
        }

    private:
        QWidget* form_;
    };
    form->installEventFilter(new F1Filter(form));
}

}  // namespace brevant
