// The program's application object and its default error handler. Errors
// the viewer's code raises (a failing checked engine call, a settings write
// the registry refuses, ...) are not caught where they arise: every event
// the loop dispatches runs inside the handler, which shows the error in an
// "Error" box and lets the program go on.
#pragma once

#include <QApplication>

#include <exception>
#include <utility>

namespace brevant {

class BrevantApplication : public QApplication {
public:
    BrevantApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // The program's title and the full path of its help file.
    QString title() const { return title_; }
    void setTitle(const QString& title) { title_ = title; }
    QString helpFile() const { return helpFile_; }
    void setHelpFile(const QString& path) { helpFile_ = path; }

private:
    QString title_;
    QString helpFile_;
};

// The default error handler, given the error in flight: its message in an
// "Error" box; Abort ends the operation silently.
void handleException(std::exception_ptr error);

// Runs f; what it raises goes to the default error handler. True when f
// ended normally.
template <class F>
bool runGuarded(F&& f) {
    try {
        std::forward<F>(f)();
        return true;
    } catch (...) {
        handleException(std::current_exception());
        return false;
    }
}

// The thread's single-threaded COM apartment while it lives.
class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool joined_;
};

}  // namespace brevant
