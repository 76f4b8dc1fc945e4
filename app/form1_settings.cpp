// The main window's settings access: the shared code of config/, its
// exchanges run while the window keeps painting, its failures in message boxes.
#include <QComboBox>
#include <QMessageBox>

#include "busy_wait.h"
#include "camera_settings.h"
#include "adv_dlg.h"
#include "form1.h"
#include "visible_text.h"

namespace {

CCameraSettings SettingsOf(TForm1& form) {
    return CCameraSettings(
        form.lastError, form.cameraAddr, form.cameraWebAddr,
        [&form](const char* text, const char* caption, bool errorIcon) {
            // The text may carry the camera's own explanation: shown visible, never as rich text.
            const std::string message = platform::VisibleMessage(platform::Latin1ToUtf8(text));
            QMessageBox box(errorIcon ? QMessageBox::Critical : QMessageBox::NoIcon, QString::fromLatin1(caption),
                            QString::fromStdString(message), QMessageBox::Ok, &form);
            box.setTextFormat(Qt::PlainText);
            box.exec();
        },
        &BusyWait::Run);
}

// Fills `box` as the list operation leaves it: no items until the list is
// read, the current value as its text once it is.
bool LoadChoices(TForm1& form, QComboBox* box, CCameraSettings::ChoiceList list) {
    box->clear();
    CCameraSettings::Choices choices;
    const bool ok = SettingsOf(form).LoadChoices(list, choices);
    for (const std::string& item : choices.items) box->addItem(CameraText(item.c_str()));
    if (choices.currentRead) box->setEditText(CameraText(choices.current.c_str()));
    return ok;
}

}  // namespace

bool TForm1::GetCameraOid(const char* oid, char* value, std::size_t size) {
    return SettingsOf(*this).GetCameraOid(oid, value, size);
}

bool TForm1::SetCameraOid(const char* oid, const char* value) { return SettingsOf(*this).SetCameraOid(oid, value); }

bool TForm1::LoadTimezoneChoices() {
    return LoadChoices(*this, AdvDlg->ComboBoxTimezone, CCameraSettings::ChoiceList::Timezone);
}

bool TForm1::LoadAnalogChoices() {
    return LoadChoices(*this, AdvDlg->ComboBoxAnalog, CCameraSettings::ChoiceList::Analog);
}
