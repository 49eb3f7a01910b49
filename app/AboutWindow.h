// The "About..." window: product name, version and a link to the home page.
#pragma once

#include <QDialog>

class QLabel;

namespace vexlo {

class Platform;

/// The product's home page, shown by the About window's link and named in the README.
constexpr const char *HomePageAddress = "https://vexlo.example.org/";

/// TForm17. Modal, fixed size; clicking the link label Label6 asks the desktop to open the
/// home page.
class AboutWindow : public QDialog {
    Q_OBJECT

  public:
    explicit AboutWindow(Platform &platform, QWidget *parent = nullptr);

    /// Label6 was clicked: the home page goes to the desktop's browser (outcome unchecked).
    void openHomePage();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    Platform &m_platform;
};

} // namespace vexlo
