#include "run/office/SpeedCheck.h"

#include "base/Lines.h"
#include "base/ReadFile.h"

namespace vexlo {

bool SpeedCheck::officePass(const std::string &documentPath)
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

void SpeedCheck::run(const std::string &documentPath, const std::string &textPath, SpeedCheckView &view)
{
    std::uint32_t start = 0, end = 0;
    bool lastOk = false;
    view.officePhase(OfficeLast);
    for (int i = 0; i <= OfficeLast; ++i) {
        start = view.milliseconds();
        view.step(i);
        lastOk = officePass(documentPath);
        if (!lastOk)
            view.officeFailed();
        end = view.milliseconds();
    }
    if (lastOk)
        view.officeFigure(end - start);

    view.textPhase(TextLast);
    for (int i = 0; i <= TextLast; ++i) {
        start = view.milliseconds();
        view.step(i);
        (void)SplitLines(ReadWholeFile(textPath, TextFileCap));
        end = view.milliseconds();
    }
    view.textFigure(static_cast<std::uint32_t>(end - start) + 25u);
}

} // namespace vexlo
