// The engine's progress events on the main window's progress display.
#include "viewer/app/main_form.h"
#include "viewer/app/progress_indicator.h"

namespace brevant {

void TBrevantForm::Vistrel1startProgressIndicator() {
    progress_->start();
}

void TBrevantForm::Vistrel1setProgressIndicator(int percentage) {
    progress_->set(percentage);
}

void TBrevantForm::Vistrel1stopProgressIndicator() {
    progress_->stop();
}

void TBrevantForm::ResetProgress() {
    progress_->reset();
}

}  // namespace brevant
