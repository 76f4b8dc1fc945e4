// Vantrel: finds the maker's cameras on the local network segments and lists them.
#include <QIcon>
#include <QMessageBox>
#include <exception>
#include <memory>

#include "adv_dlg.h"
#include "assign_dlg.h"
#include "fonts.h"
#include "exit_signals.h"
#include "routes.h"
#include "form1.h"
#include "info_options.h"
#include "vantrel_application.h"

int main(int argc, char** argv) {
    if (const auto status = AnswerInfoOption(argc, argv)) return *status;
    // The routes the window added go before it ends on a signal; what it starts keeps an open mask.
    platform::EndOnExitSignalsWithoutRoutesKeepingMask();
    VantrelApplication application(argc, argv);
    QString message;
    try {
        application.setApplicationName("Vantrel");
        application.setDesktopFileName("org.vantrel.Vantrel");  // the installed .desktop file and icon
        application.setWindowIcon(QIcon::fromTheme("org.vantrel.Vantrel"));
        InstallFontSubstitutes();
        auto form1 = std::make_unique<TForm1>();
        // The window owns its dialogs: they are made once, hidden, and reused by every command.
        form1->AssignDlg = new TAssignDlg(form1.get());
        form1->AdvDlg = new TAdvDlg(form1.get());
        form1->show();
        application.exec();
        message = application.escaped;
    } catch (const std::exception& e) {
        message = QString::fromLocal8Bit(e.what());
    } catch (...) {
        message = "Unknown exception";
    }
    // The scan's link-local route and Web Page's host routes go with the window.
    platform::ReleaseAllRoutes();
    if (!message.isEmpty()) QMessageBox::critical(nullptr, "Vantrel", message);
    return 0;
}
