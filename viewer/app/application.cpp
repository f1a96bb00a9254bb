#include "viewer/app/application.h"

#include <utility>

#include "platform/com/com_client.h"
#include "viewer/components/graphic_errors.h"
#include "viewer/components/message_service.h"

namespace brevant {

BrevantApplication::BrevantApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool BrevantApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    runGuarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

void handleException(std::exception_ptr error) {
    try {
        std::rethrow_exception(std::move(error));
    } catch (const Abort&) {
    } catch (const std::exception& e) {
        showError(QString::fromStdString(e.what()));
    } catch (...) {
        showError(QStringLiteral("Unknown error"));
    }
}

ComApartment::ComApartment()
    : joined_(win::SUCCEEDED(win::CoInitializeEx(nullptr, win::COINIT_APARTMENTTHREADED))) {}

ComApartment::~ComApartment() {
    if (joined_)
        win::CoUninitialize();
}

}  // namespace brevant
