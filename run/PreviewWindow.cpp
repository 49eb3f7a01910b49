#include "run/PreviewWindow.h"

#include "run/office/BuiltInWord.h"
#include "undo/LineDiff.h"
#include "undo/RunReport.h"
#include "widgets/BusyGuard.h"
#include "widgets/EventPump.h"
#include "widgets/Guarded.h"
#include "widgets/Platform.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTextEdit>
#include <QVBoxLayout>

namespace vexlo {

namespace {

// Contents are kept for showing diffs up to this much; later files show their counts only.
constexpr std::size_t kKeepBytes = std::size_t(64) << 20;

QString escaped(std::string_view text)
{
    return FromBytes(std::string(text)).toHtmlEscaped();
}

// One diff line as HTML: the number, the sign, and the changed part highlighted.
QString lineHtml(const DiffLine &line)
{
    if (line.kind == DiffLine::Kind::Skipped)
        return QStringLiteral("<div style='color:#777'>\u22ef</div>");
    const bool removed = line.kind == DiffLine::Kind::Removed, added = line.kind == DiffLine::Kind::Added;
    const QString background = removed ? QStringLiteral("#fde8e8")
                               : added ? QStringLiteral("#e6f6e6")
                                       : QString();
    const QString mark = removed ? QStringLiteral("#f4a6a6") : QStringLiteral("#8fd19e");
    const std::size_t number = removed ? line.oldNumber : line.newNumber;
    QString html = QStringLiteral("<div style='white-space:pre; background-color:%1'>")
                       .arg(background.isEmpty() ? QStringLiteral("transparent") : background);
    html += QStringLiteral("<span style='color:#888'>%1 %2 </span>")
                .arg(number, 5)
                .arg(removed ? QStringLiteral("-")
                     : added ? QStringLiteral("+")
                             : QStringLiteral(" "));
    const std::string_view text = line.text;
    if (removed || added) {
        html += escaped(text.substr(0, line.changeFrom));
        html += QStringLiteral("<span style='background-color:%1'>").arg(mark) +
                escaped(text.substr(line.changeFrom, line.changeTo - line.changeFrom)) +
                QStringLiteral("</span>");
        html += escaped(text.substr(line.changeTo));
    } else {
        html += escaped(text);
    }
    return html + QStringLiteral("</div>");
}

QString listText(const FileReport &r)
{
    return FromBytes(DryRunLine(r));
}

} // namespace

PreviewWindow::PreviewWindow(Platform &platform, RunRequest request,
                             std::function<void(const RunRequest &)> startRun, QWidget *parent)
    : QDialog(parent), m_platform(platform), m_request(std::move(request)), m_startRun(std::move(startRun))
{
    setObjectName(QStringLiteral("PreviewWindow"));
    setWindowTitle(tr("Preview"));
    resize(900, 520);
    m_list = new QListWidget;
    m_list->setObjectName(QStringLiteral("PreviewFiles"));
    m_diff = new QTextEdit;
    m_diff->setObjectName(QStringLiteral("PreviewDiff"));
    m_diff->setReadOnly(true);
    m_diff->setLineWrapMode(QTextEdit::NoWrap);
    m_diff->setFontFamily(QStringLiteral("monospace"));
    auto *split = new QSplitter;
    split->addWidget(m_list);
    split->addWidget(m_diff);
    split->setSizes({330, 570});
    m_summary = new QLabel;
    m_summary->setObjectName(QStringLiteral("PreviewSummary"));
    m_go = new QPushButton(tr("Let`s go..."));
    m_go->setObjectName(QStringLiteral("PreviewGo"));
    m_stop = new QPushButton(tr("Stop"));
    m_stop->setObjectName(QStringLiteral("PreviewStop"));
    auto *close = new QPushButton(tr("Close"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_summary, 1);
    buttons->addWidget(m_stop);
    buttons->addWidget(m_go);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);

    connect(m_list, &QListWidget::currentRowChanged, this,
            [this](int row) { guarded([&] { showDiff(row); }); });
    connect(m_stop, &QPushButton::clicked, this, [this] { stop(); });
    connect(close, &QPushButton::clicked, this, [this] {
        stop();
        reject();
    });
    connect(m_go, &QPushButton::clicked, this, [this] {
        guarded([this] {
            if (m_running)
                return;
            accept();
            if (m_startRun)
                m_startRun(m_request);
        });
    });
}

void PreviewWindow::add(const QString &text, Item item)
{
    m_items.push_back(std::move(item));
    m_list->addItem(text);
}

void PreviewWindow::runPreview()
{
    BusyGuard busy(m_running);
    if (!busy)
        return;
    m_go->setEnabled(false);
    std::size_t changing = 0, failed = 0;
    ChangeRecorder recorder(true, [&](const FileReport &r, std::string_view before, std::string_view after) {
        Item item{r.path, {}, {}, false};
        // A packaged document (.docx, .odt) is no text to show line by line: it holds NUL bytes.
        const bool text =
            before.find('\0') == std::string_view::npos && after.find('\0') == std::string_view::npos;
        if (m_keptBytes + before.size() + after.size() <= kKeepBytes && r.outcome == FileOutcome::Rewritten &&
            text) {
            item.before = before;
            item.after = after;
            item.kept = true;
            m_keptBytes += before.size() + after.size();
        }
        changing += r.outcome == FileOutcome::Rewritten;
        add(listText(r), std::move(item));
    });
    struct Observer : RunObserver {
        Observer(PreviewWindow &w, std::size_t &failures)
            : window(w), failed(failures),
              pump(w.m_platform, EventPump::DefaultInterval, EventPump::First::AtOnce)
        {
        }
        bool keepGoing() override
        {
            pump.pump();
            return true;
        }
        void error(const std::string &path, const Error &e) override
        {
            ++failed;
            FileReport r;
            r.path = path;
            r.outcome = FileOutcome::Failed;
            r.reason = e.what();
            window.add(listText(r), Item{path, {}, {}, false});
        }
        // A file passed over: a binary file is listed by the recorder already; a link the
        // directory pass does not follow is listed here (its reason comes in the run's message).
        void fileDone(const std::string &path, Outcome outcome) override
        {
            if (outcome != Outcome::Skipped ||
                (!window.m_items.empty() && window.m_items.back().path == path))
                return;
            FileReport r;
            r.path = path;
            r.outcome = FileOutcome::Skipped;
            r.reason = "not followed: a link that leads out of the folder";
            window.add(listText(r), Item{path, {}, {}, false});
        }
        void message(const std::string &text) override
        {
            window.m_platform.message(&window, FromBytes(text));
        }
        PreviewWindow &window;
        std::size_t &failed;
        EventPump pump;
    } observer(*this, failed);
    RunRequest request = m_request;
    request.hook = &recorder;
    try {
        // The office engine as the run has it: "^c" inserts the clipboard's text.
        word::BuiltInApplicationSource office([this] { return ToBytes(m_platform.clipboardText()); });
        RunReplace(request, m_platform.programFolder(), m_flag, observer, &office);
    } catch (const Error &e) {
        m_platform.message(this, FromBytes(e.what()));
    }
    m_summary->setText(tr("%1 files would be rewritten, %2 would fail").arg(changing).arg(failed) +
                       (m_flag.isRunning() ? QString() : tr(" (stopped)")));
    busy.release();
    m_go->setEnabled(true);
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
}

void PreviewWindow::showDiff(int row)
{
    if (row < 0 || row >= int(m_items.size())) {
        m_diff->clear();
        return;
    }
    const Item &item = m_items[std::size_t(row)];
    if (!item.kept) {
        m_diff->setPlainText(tr("No change to show for this file."));
        return;
    }
    QString html = QStringLiteral("<div style='font-family:monospace'>");
    for (const DiffLine &line : DiffLines(item.before, item.after))
        html += lineHtml(line);
    if (Summarize(item.before, item.after).lineEndsOnly)
        html += tr("<div>Only the line ends change (every line gets CR LF).</div>");
    m_diff->setHtml(html + QStringLiteral("</div>"));
}

} // namespace vexlo
