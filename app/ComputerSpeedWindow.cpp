#include "app/ComputerSpeedWindow.h"

#include "widgets/Guarded.h"
#include "widgets/Platform.h"
#include "widgets/Widgets.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdint>

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

} // namespace

ComputerSpeedWindow::ComputerSpeedWindow(Platform &platform, QWidget *parent, word::ApplicationSource *source)
    : QDialog(parent, Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint),
      m_platform(platform), m_check(source ? *source : m_builtIn)
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

// The measure's progress in the window's labels, bar and frame title.
class ComputerSpeedWindow::View : public SpeedCheckView {
  public:
    explicit View(ComputerSpeedWindow &window) : w(window) {}
    std::uint32_t milliseconds() override { return static_cast<std::uint32_t>(w.m_platform.tickCount()); }
    void officePhase(int last) override { phase(last, tr("Speeds of work with MS Word")); }
    void textPhase(int last) override { phase(last, tr("Speed of work with textual files")); }
    void step(int pass) override
    {
        w.m_progress->setValue(pass);
        w.m_counterLabel->setText(QString::number(pass));
        w.refresh();
    }
    void officeFailed() override
    {
        w.m_wordLabel->setText(QStringLiteral("MS Word is not instaled. Or works not correctly."));
        w.refresh();
    }
    void officeFigure(std::uint32_t ms) override
    {
        w.m_wordLabel->setText(
            QStringLiteral("Average time of processing of a file MS Word - %1 ms.").arg(ms));
        w.refresh();
    }
    void textFigure(std::uint32_t ms) override
    {
        w.m_calculateBox->setTitle(QStringLiteral("Расчет скорости работы"));
        w.refresh();
        w.m_textLabel->setText(
            QStringLiteral("Average time of processing of textual files - %1 ms.").arg(ms));
        w.m_counterLabel->setText(QStringLiteral("The end."));
        w.refresh();
    }

  private:
    void phase(int last, const QString &title)
    {
        w.m_progress->setRange(0, last);
        w.m_progress->setValue(0);
        w.m_calculateBox->setTitle(title);
        w.refresh();
    }

    ComputerSpeedWindow &w;
};

void ComputerSpeedWindow::calculate()
{
    const ProgramFolder &folder = m_platform.programFolder();
    View view(*this);
    m_check.run(folder.resource(kWordSample).string(), folder.resource(kTextSample).string(), view);
}

} // namespace vexlo
