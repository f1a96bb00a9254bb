// The Options dialog (start-up and file-opening settings) and the
// Quality/Memory Options dialog (display quality and memory usage of the
// current view).
#pragma once

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;

namespace brevant {

class TfOptions : public QDialog {
    Q_OBJECT

public:
    // The bars of the main window that OK shows or hides at once: the tool
    // bar, the status bar and the progress panel.
    TfOptions(QWidget* toolBar, QWidget* statusBar, QWidget* progressPanel,
              QWidget* parent = nullptr);

    QLineEdit* eDefPage;
    QLineEdit* eZoom;
    QCheckBox* cbOpen;
    QCheckBox* cbProgress;
    QCheckBox* cbInPalm;
    QCheckBox* cbAutoStart;
    QCheckBox* cbIgnorePDBSize;
    // Hidden, yet read and written.
    QCheckBox* cbSplash;
    QCheckBox* cbGoTo;
    QCheckBox* cbLeft;
    QCheckBox* cbToolbar;
    QCheckBox* cbStatusbar;
    QCheckBox* cbDisplayGraphics;
    // Hidden and unused.
    QLineEdit* eQuality;
    QLineEdit* eMemory;
    QSpinBox* SpinEdit1;  // splash seconds
    QPushButton* BitBtn2;  // OK
    QPushButton* BitBtn1;  // Cancel

    void FormShow();
    void BitBtn2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* toolBar_;
    QWidget* statusBar_;
    QWidget* progressPanel_;
};

// What the quality dialog reads and sets of the main window's view.
struct ViewQualityAccess {
    std::function<int()> GetQuality;
    std::function<int()> GetMemoryUsage;
    std::function<void(int)> SetQuality;
    std::function<void(int)> SetMemoryUsage;
    std::function<void(bool)> setRenderSuppressed;
    // Whether a document is open (the engine's file name is not empty).
    std::function<bool()> documentOpen;
    // RenderView (true).
    std::function<void()> renderView;
};

class TQMemOpt : public QDialog {
    Q_OBJECT

public:
    explicit TQMemOpt(ViewQualityAccess view, QWidget* parent = nullptr);

    QSlider* tbQuality;  // 0..4
    QSlider* tbMemUse;   // 0..4
    QPushButton* BitBtn2;  // OK
    QPushButton* BitBtn1;  // Cancel

    void FormShow();
    void BitBtn2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    ViewQualityAccess view_;
};

}  // namespace brevant
