#include "viewer/app/info_dialogs.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

#include "viewer/app/csv_fields.h"
#include "viewer/app/help_topics.h"

namespace brevant {
namespace {

// Labelled read-only edits Edit2 .. Edit9 and an OK button.
void buildFields(QDialog* dialog, const char* const (&labels)[8], std::array<QLineEdit*, 8>& edits,
                 QPushButton*& ok) {
    auto* column = new QVBoxLayout(dialog);
    auto* form = new QFormLayout;
    for (int i = 0; i < 8; ++i) {
        auto* edit = new QLineEdit(dialog);
        edit->setObjectName(QStringLiteral("Edit%1").arg(i + 2));
        edit->setReadOnly(true);
        form->addRow(QString::fromLatin1(labels[i]), edit);
        edits[static_cast<std::size_t>(i)] = edit;
    }
    column->addLayout(form);
    ok = new QPushButton(QStringLiteral("OK"), dialog);
    ok->setObjectName("OK");
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    column->addLayout(row);
}

// The width that gives edit room for a text of the given width: its size
// hint holds room for 17 "x", the rest of it is frame and margins.
int widthFor(const QLineEdit* edit, int text) {
    return edit->sizeHint().width() - 17 * edit->fontMetrics().horizontalAdvance(u'x') + text;
}

// The widest date the engine writes ("09 Feb 1999 15:39:25 GMT-08:00"),
// over every month name and zone sign, in the widest digit of the font.
int widestDate(const QFontMetrics& metrics) {
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    QChar digit = u'0';
    for (char16_t d = u'1'; d <= u'9'; ++d) {
        if (metrics.horizontalAdvance(QChar(d)) > metrics.horizontalAdvance(digit))
            digit = QChar(d);
    }
    const QString two(2, digit), four(4, digit);
    int widest = 0;
    for (const char* month : kMonths) {
        for (char16_t sign : {u'+', u'-'}) {
            const QString date = two + u' ' + QLatin1String(month) + u' ' + four + u' ' + two +
                                 u':' + two + u':' + two + QStringLiteral(" GMT") + sign + two +
                                 u':' + two;
            widest = std::max(widest, metrics.horizontalAdvance(date));
        }
    }
    return widest;
}

QPlainTextEdit* memo(QWidget* parent, const char* name) {
    auto* m = new QPlainTextEdit(parent);
    m->setObjectName(QString::fromLatin1(name));
    m->setReadOnly(true);
    m->setFrameShape(QFrame::NoFrame);
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m->setFixedHeight(TfrFontInfo::kHeight - 2);
    return m;
}

}  // namespace

TfInfo::TfInfo(std::function<QString()> infoText, QWidget* parent)
    : QDialog(parent), infoText_(std::move(infoText)) {
    setObjectName("fInfo");
    setWindowTitle(QStringLiteral("General Info"));
    setHelpContext(this, 10);
    bindFormHelp(this);
    static const char* const kLabels[8] = {"Title:",   "Subject:",  "Author:",  "Keywords:",
                                           "Creator:", "Producer:", "Created:", "Modified:"};
    buildFields(this, kLabels, edits, OK);
    // Every field has room for a date, as Created and Modified need.
    dateWidth_ = widthFor(edits[6], widestDate(edits[6]->fontMetrics()));
    for (QLineEdit* edit : edits)
        edit->setMinimumWidth(dateWidth_);
}

void TfInfo::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TfInfo::FormShow() {
    const QString text = infoText_();
    for (int i = 0; i < 8; ++i)
        edits[static_cast<std::size_t>(i)]->setText(GetCsvField(text, i + 1));
    // The fields grow to the document's longest text, up to two thirds of
    // the screen; a longer one scrolls in its field.
    int widest = dateWidth_;
    for (QLineEdit* edit : edits)
        widest =
            std::max(widest, widthFor(edit, edit->fontMetrics().horizontalAdvance(edit->text())));
    if (const QScreen* shown = screen())
        widest = std::min(widest, std::max(dateWidth_, shown->availableGeometry().width() * 2 / 3));
    for (QLineEdit* edit : edits)
        edit->setMinimumWidth(widest);
    adjustSize();
}

std::array<QString, 8> securityTexts(const QString& record) {
    auto set = [&](int n) { return GetCsvField(record, n) == QStringLiteral("1"); };
    const bool encrypted = set(1);
    auto allowed = [&](int n) {
        return encrypted && !set(n) ? QStringLiteral("Not Allowed") : QStringLiteral("Allowed");
    };
    return {
        encrypted ? QStringLiteral("Standard") : QStringLiteral("None"),
        encrypted && set(2) ? QStringLiteral("Yes") : QStringLiteral("No"),
        encrypted && set(3) ? QStringLiteral("Yes") : QStringLiteral("No"),
        !encrypted ? QStringLiteral("None") : set(8) ? QStringLiteral("Owner") : QStringLiteral("User"),
        allowed(4),
        allowed(5),
        allowed(6),
        allowed(7),
    };
}

TfSecurInfo::TfSecurInfo(std::function<QString()> securityText, QWidget* parent)
    : QDialog(parent), securityText_(std::move(securityText)) {
    setObjectName("fSecurInfo");
    setWindowTitle(QStringLiteral("Security Info"));
    setHelpContext(this, 12);
    bindFormHelp(this);
    static const char* const kLabels[8] = {"Method:",   "Open Password:", "Security Password:",
                                           "Current Access:", "Printing:", "Changing:",
                                           "Copying:",  "Changing Annotations:"};
    buildFields(this, kLabels, edits, OK);
}

void TfSecurInfo::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TfSecurInfo::FormShow() {
    const std::array<QString, 8> defaults = {"None",    "No",      "No",      "None",
                                             "Allowed", "Allowed", "Allowed", "Allowed"};
    for (std::size_t i = 0; i < 8; ++i)
        edits[i]->setText(defaults[i]);
    const std::array<QString, 8> texts = securityTexts(securityText_());
    for (std::size_t i = 0; i < 8; ++i)
        edits[i]->setText(texts[i]);
}

QPixmap fontTypeIcon(int type) {
    static const char* const kMarks[4] = {"TT", "T1", "1C", "T3"};
    static const QColor kColours[4] = {QColor(0, 96, 192), QColor(160, 0, 0), QColor(0, 128, 0),
                                       QColor(128, 64, 160)};
    if (type < 0 || type > 3)
        return {};
    QPixmap icon(15, 15);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setPen(kColours[type]);
    painter.drawRect(0, 0, 14, 14);
    QFont font = painter.font();
    font.setPixelSize(9);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(0, 0, 15, 15), Qt::AlignCenter, QString::fromLatin1(kMarks[type]));
    return icon;
}

TfrFontInfo::TfrFontInfo(QWidget* parent) : QFrame(parent) {
    setFixedHeight(kHeight);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(1, 1, 1, 1);
    row->setSpacing(2);
    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setFixedSize(15, 15);
    mOriginalName = memo(this, "mOriginalName");
    mEncoding = memo(this, "mEncoding");
    mEncoding->setFixedWidth(80);
    Image2 = new QLabel(this);
    Image2->setObjectName("Image2");
    Image2->setFixedSize(15, 15);
    mUsedName = memo(this, "mUsedName");
    row->addWidget(Image1);
    row->addWidget(mOriginalName, 1);
    row->addWidget(mEncoding);
    row->addWidget(Image2);
    row->addWidget(mUsedName, 1);
}

TfFontInfo::TfFontInfo(QWidget* parent) : QDialog(parent) {
    setObjectName("fFontInfo");
    setWindowTitle(QStringLiteral("Font Info"));
    setHelpContext(this, 9);
    bindFormHelp(this);
    resize(520, kMaxHeight);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    // The height follows the number of fonts, not the parts' wishes.
    column->setSizeConstraint(QLayout::SetNoConstraint);
    Header = new QLabel(
        QStringLiteral(" Original Font                                      Encoding         Used Font"),
        this);
    Header->setObjectName("Header");
    Header->setFrameShape(QFrame::Panel);
    column->addWidget(Header);
    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setWidgetResizable(true);
    content_ = new QWidget;
    auto* frames = new QVBoxLayout(content_);
    frames->setContentsMargins(0, 0, 0, 0);
    frames->setSpacing(0);
    frames->addStretch(1);
    ScrollBox1->setWidget(content_);
    column->addWidget(ScrollBox1, 1);
    // Esc closes, as QDialog does.
}

QList<TfrFontInfo*> TfFontInfo::frames() const {
    return content_->findChildren<TfrFontInfo*>(QString(), Qt::FindDirectChildrenOnly);
}

void TfFontInfo::ShowFonts(const QStringList& records) {
    if (records.isEmpty())
        return;
    ScrollBox1->hide();
    auto* layout = static_cast<QVBoxLayout*>(content_->layout());
    int i = 0;
    for (const QString& record : records) {
        ++i;
        auto* frame = new TfrFontInfo(content_);
        frame->setObjectName(QStringLiteral("FI%1").arg(i));
        // Stacked from the top in order, one frame height apart.
        layout->insertWidget(layout->count() - 1, frame);
        frame->mOriginalName->setPlainText(GetCsvField(record, 2).trimmed());
        frame->mUsedName->setPlainText(GetCsvField(record, 4).trimmed());
        const QString encoding = GetCsvField(record, 5).trimmed();
        frame->mEncoding->setPlainText(encoding == QStringLiteral("Standard(Modified)") ||
                                               encoding == QStringLiteral("Custom")
                                           ? QStringLiteral("Custom")
                                           : QStringLiteral("Build-In"));
        frame->fontType1 = GetCsvInt(record, 1);
        frame->fontType2 = GetCsvInt(record, 3);
        frame->Image1->setPixmap(fontTypeIcon(frame->fontType1));
        frame->Image2->setPixmap(fontTypeIcon(frame->fontType2));
        frame->show();
    }
    ScrollBox1->show();
    const int lastBottom = i * TfrFontInfo::kHeight;
    resize(width(), std::min(lastBottom + 27, kMaxHeight));
    if (run)
        run(*this);
    else
        exec();
}

void TfFontInfo::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TfFontInfo::FormClose() {
    ScrollBox1->hide();
    for (TfrFontInfo* frame : frames())
        delete frame;
}

}  // namespace brevant
