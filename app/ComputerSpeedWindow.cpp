#include "app/ComputerSpeedWindow.h"

#include "base/Error.h"
#include "base/Lines.h"
#include "widgets/Guarded.h"
#include "widgets/Platform.h"
#include "widgets/Widgets.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <sstream>

namespace vexlo {

namespace {

const char *const kWordSample = "MSWordTesting.doc";
const char *const kTextSample = "TextFileTesting.txt";

QLabel *MakeLabel(QWidget *parent, const char *name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

// Reads a text file whole into lines. Throws Error{Io}.
Lines LoadLines(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw IoError("read", path, errno);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return SplitLines(bytes.str());
}

// The clock as the system's unsigned 32-bit millisecond counter.
std::uint32_t Milliseconds(Platform &platform)
{
    return static_cast<std::uint32_t>(platform.tickCount());
}

} // namespace

ComputerSpeedWindow::ComputerSpeedWindow(Platform &platform, QWidget *parent, word::ApplicationSource *source)
    : QDialog(parent, Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint),
      m_platform(platform), m_source(source ? *source : m_builtIn)
{
    setObjectName(QStringLiteral("TForm16"));
    setWindowTitle(tr("Computer speed"));
    setModal(true);

    m_calculateBox = new QGroupBox(tr("Calculate"), this);
    m_calculateBox->setObjectName(QStringLiteral("GroupBox1"));
    m_counterLabel = MakeLabel(m_calculateBox, "Label1");
    m_progress = new QProgressBar(m_calculateBox);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    auto *calculateLayout = new QVBoxLayout(m_calculateBox);
    calculateLayout->addWidget(m_counterLabel);
    calculateLayout->addWidget(m_progress);

    m_calculateButton = MakeFlatButton(this, "SpeedButton2", tr("Calculate!"), QStringLiteral("go"));

    auto *infoBox = new QGroupBox(tr("Info"), this);
    infoBox->setObjectName(QStringLiteral("GroupBox2"));
    m_wordLabel = MakeLabel(infoBox, "Label2");
    m_textLabel = MakeLabel(infoBox, "Label3");
    auto *infoLayout = new QVBoxLayout(infoBox);
    infoLayout->addWidget(m_wordLabel);
    infoLayout->addWidget(m_textLabel);

    m_closeButton = MakeFlatButton(this, "SpeedButton1", tr("Close..."), QStringLiteral("close"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_calculateBox);
    layout->addWidget(m_calculateButton, 0, Qt::AlignHCenter);
    layout->addWidget(infoBox);
    layout->addWidget(m_closeButton, 0, Qt::AlignHCenter);

    connect(m_calculateButton, &QToolButton::clicked, this, [this] { guarded([this] { calculate(); }); });
    connect(m_closeButton, &QToolButton::clicked, this, [this] { guarded([this] { close(); }); });
}

void ComputerSpeedWindow::refresh()
{
    QCoreApplication::processEvents();
}

// Open and close the sample, then quit: the application is asked for afresh after the quit.
bool ComputerSpeedWindow::wordPass(const std::string &documentPath)
{
    using word::Variant;
    const Variant omitted;
    if (!m_application)
        m_application = &m_source.application();
    bool ok = m_application->documents()
                  .Open({documentPath, false, false, false, "", "", false, "", "", word::wdOpenFormatAuto})
                  .ok;
    ok = ok && m_application->activeDocument().Close({omitted, omitted, omitted}).ok;
    ok = ok && m_application->Quit({omitted, omitted, omitted}).ok;
    if (ok)
        m_application = nullptr;
    return ok;
}

void ComputerSpeedWindow::calculate()
{
    const ProgramFolder &folder = m_platform.programFolder();
    m_progress->setRange(0, 50);
    m_progress->setValue(0);
    // Preparing the built-in engine cannot fail.
    m_calculateBox->setTitle(tr("Speeds of work with MS Word"));
    refresh();
    std::uint32_t start = 0, end = 0;
    bool lastOk = false;
    for (int i = 0; i <= 50; ++i) {
        start = Milliseconds(m_platform);
        m_progress->setValue(i);
        m_counterLabel->setText(QString::number(i));
        refresh();
        lastOk = wordPass(folder.resource(kWordSample).string());
        if (!lastOk) {
            m_wordLabel->setText(QStringLiteral("MS Word is not instaled. Or works not correctly."));
            refresh();
        }
        end = Milliseconds(m_platform);
    }
    if (lastOk) {
        m_wordLabel->setText(QStringLiteral("Average time of processing of a file MS Word - %1 ms.")
                                 .arg(static_cast<std::uint32_t>(end - start)));
        refresh();
    }

    m_progress->setRange(0, 10);
    m_progress->setValue(0);
    m_calculateBox->setTitle(tr("Speed of work with textual files"));
    refresh();
    for (int i = 0; i <= 10; ++i) {
        start = Milliseconds(m_platform);
        m_progress->setValue(i);
        m_counterLabel->setText(QString::number(i));
        refresh();
        (void)LoadLines(folder.resource(kTextSample).string());
        end = Milliseconds(m_platform);
    }
    m_calculateBox->setTitle(QStringLiteral("Расчет скорости работы"));
    refresh();
    m_textLabel->setText(QStringLiteral("Average time of processing of textual files - %1 ms.")
                             .arg(static_cast<std::uint32_t>(end - start) + 25u));
    m_counterLabel->setText(QStringLiteral("The end."));
    refresh();
}

} // namespace vexlo
