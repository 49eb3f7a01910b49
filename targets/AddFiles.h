// "Add Files": files picked in the open-file dialog join the file list, checked.
#pragma once

#include "settings/SettingsFile.h"

class QWidget;

namespace vexlo {

class Platform;
class TargetListModel;

/// Stops the program through the Platform: a message box, then the end.
class PlatformProgramStop : public ProgramStop {
  public:
    PlatformProgramStop(Platform &platform, QWidget *parent) : m_platform(platform), m_parent(parent) {}
    void showMessage(const std::string &text) override;
    void terminate() override;

  private:
    Platform &m_platform;
    QWidget *m_parent;
};

/// Add_File_Procedure. Throws Error{Conversion} before any dialog when the stored filter is
/// not a number, Error{SettingsWrite} when the folder cannot be remembered; a cancelled
/// dialog changes nothing. A missing "vexlopro.ini" shows the [001] message and ends the program.
void AddFileProcedure(QWidget *parent, Platform &platform, TargetListModel &fileList);

} // namespace vexlo
