// The device workflow: the image clarity (the device format of the preview
// and of new device pages), the preview toggle, the pages prepared for the
// handheld in the To Device tree and their save as a Palm database file.
#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <vector>

#include "platform/registry/registry.h"
#include "platform/shell/shell.h"
#include "viewer/app/device_format_dialog.h"
#include "viewer/app/device_preview.h"
#include "viewer/app/page_range_dialog.h"
#include "viewer/app/csv_fields.h"
#include "viewer/app/main_form.h"
#include "viewer/app/settings_table.h"
#include "viewer/components/message_service.h"

namespace brevant {
namespace {

// The Palm desktop's key that names its HotSync program.
constexpr const char16_t* kPalmDesktopKey = u"Software\\U.S. Robotics\\Pilot Desktop\\Core";

// The "HotSyncPath" text of the Palm desktop; empty on any error. The key
// is opened, never created.
QString hotSyncPath() {
    win::HKEY key = nullptr;
    if (win::RegOpenKeyExW(win::HKEY_CURRENT_USER, kPalmDesktopKey, 0, win::KEY_READ, &key) !=
        win::ERROR_SUCCESS)
        return {};
    QString path;
    win::DWORD type = 0, size = 0;
    if (win::RegQueryValueExW(key, u"HotSyncPath", nullptr, &type, nullptr, &size) ==
            win::ERROR_SUCCESS &&
        type == win::REG_SZ) {
        std::vector<win::BYTE> data(size + 2, 0);
        if (win::RegQueryValueExW(key, u"HotSyncPath", nullptr, &type, data.data(), &size) ==
            win::ERROR_SUCCESS) {
            path = QString::fromUtf16(reinterpret_cast<const char16_t*>(data.data()));
        }
    }
    win::RegCloseKey(key);
    return path;
}

}  // namespace

void TBrevantForm::bindDeviceCommands() {
    for (QAction* item : {Standard1, MaximizeBrightness1, MaximizeContrast1}) {
        connect(item, &QAction::triggered, this, [this, item] { Standard1Click(item); });
    }
    connect(cbClarity, &QComboBox::activated, this, [this] { Standard1Click(cbClarity); });
    connect(SelectPalmFormat1, &QAction::triggered, this, [this] { SelectPalmFormat1Click(); });
    connect(SelectPalmFormat2, &QAction::triggered, this, [this] { SelectPalmFormat1Click(); });
    for (QAction* toggle : {PreviewPageIn1, PreviewPageIn2, PreviewPages1})
        connect(toggle, &QAction::triggered, this, [this] { PreviewPageIn1Click(); });
    connect(pmOptions, &QMenu::aboutToShow, this,
            [this] { PreviewPageIn2->setChecked(GetDeviceFormat() > 0); });
    connect(ShowOnDeviceAct1, &QAction::triggered, this, [this] { ShowOnDeviceAct1Execute(); });
    connect(PreparepagesforPalm1, &QAction::triggered, this,
            [this] { PreparepagesforPalm1Click(); });
    connect(FileSave1, &QAction::triggered, this, [this] { FileSave1Execute(); });
    connect(FileSaveAs1, &QAction::triggered, this, [this] { FileSave1Execute(); });
    connect(SaveasPDB1, &QAction::triggered, this, [this] { FileSave1Execute(); });
    connect(bSavePDB, &QPushButton::clicked, this, [this] { FileSave1Execute(); });
    // Save As and the tab's button are open while the Save As PDB action is.
    FileSaveAs1->setEnabled(FileSave1->isEnabled());
    bSavePDB->setEnabled(FileSave1->isEnabled());
    connect(FileSave1, &QAction::enabledChanged, FileSaveAs1, &QAction::setEnabled);
    connect(FileSave1, &QAction::enabledChanged, bSavePDB, &QWidget::setEnabled);
    Vistrel1.OnpdbRecordsLimitExceeded = [this](TVistrel*) { Vistrel1pdbRecordsLimitExceeded(); };

    // The HotSync command's tool button stays hidden.
    tbHotSync = new QToolButton(ToolBar1);
    tbHotSync->setObjectName(QStringLiteral("tbHotSync"));
    tbHotSync->hide();
    connect(tbHotSync, &QToolButton::clicked, this, [this] { HotSyncClick(); });

    selectFormatDialog = [this](int& format) {
        fPalmFormat->setFormat(format);
        if (fPalmFormat->exec() != QDialog::Accepted)
            return false;
        format = fPalmFormat->format();
        return true;
    };
    pageRangeDialog = [this] {
        fPrepPage->OnPreparePages = [this](int kind) { AddDevicePages(kind, fPrepPage->pages()); };
        fPrepPage->exec();
    };
    devicePreview = [this] { fPalm->exec(); };
    openWithShell = [this](const QString& file) {
        win::ShellExecuteA(win::HWND(winId()), "open", file.toLocal8Bit().constData(), nullptr,
                           nullptr, win::SW_SHOWNORMAL);
    };
    startProgram = [](const QString& commandLine) {
        win::WinExec(commandLine.toLocal8Bit().constData(), win::SW_SHOWNORMAL);
    };
    savePdbDialog = [this](const QString& proposed) {
        QFileDialog dialog(this);
        dialog.setObjectName(QStringLiteral("SaveDialog1"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        // The window asks its own overwrite question.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(QStringLiteral("Palm PDB (*.pdb)"));
        dialog.selectFile(proposed);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    };
}

void TBrevantForm::Standard1Click(QObject* sender) {
    QAction* items[] = {Standard1, MaximizeBrightness1, MaximizeContrast1};
    const int index = cbClarity->currentIndex();
    QAction* listed = index >= 0 && index < 3 ? items[index] : nullptr;
    QAction* item = sender == cbClarity ? listed : qobject_cast<QAction*>(sender);
    // The menu checks an item as it is chosen; the list, kept beside the
    // menu, still shows the choice before.
    const bool wasChecked = sender == cbClarity ? item && item->isChecked() : item == listed;
    if (!item || wasChecked)
        return;
    for (QAction* each : items)
        each->setChecked(false);
    item->setChecked(true);
    const int format = item->data().toInt();
    cbClarity->setCurrentIndex(format == 4 ? 0 : format == 16 ? 1 : 2);
    deviceFormat_ = format;
    writeSetting(settings::kPalmFormat, format);
    if (!Vistrel1.filename().isEmpty())
        SetDeviceFormat(format);
}

void TBrevantForm::SelectPalmFormat1Click() {
    int format = deviceFormat_;
    if (!selectFormatDialog || !selectFormatDialog(format))
        return;
    deviceFormat_ = format;
    writeSetting(settings::kPalmFormat, format);
    // The clarity list and menu show the chosen format.
    showImageClarity(format);
    const int viewFormat = GetDeviceFormat();
    if (viewFormat >= 1 && viewFormat != format)
        SetDeviceFormat(format);
}

void TBrevantForm::PreviewPageIn1Click() {
    SetDeviceFormat(GetDeviceFormat() != 0 ? 0 : deviceFormat_);
    RenderView(true);
    // The toggles show the view's format, also when nothing changed.
    const bool previewing = GetDeviceFormat() > 0;
    for (QAction* toggle : {PreviewPageIn1, PreviewPageIn2, PreviewPages1})
        toggle->setChecked(previewing);
}

void TBrevantForm::ShowOnDeviceAct1Execute() {
    if (GetDeviceFormat() == 0)
        PreviewPageIn1Click();
    if (devicePreview)
        devicePreview();
}

void TBrevantForm::PreparepagesforPalm1Click() {
    if (pageRangeDialog)
        pageRangeDialog();
}

void TBrevantForm::AddDevicePages(int kind, const std::vector<int>& pages) {
    PageControl1->setCurrentWidget(TabSheet2);
    const int current = GetPage();
    {
        const RenderSuppression suppressed(suppressRender_);
        tvForPalm->setUpdatesEnabled(false);
        if (kind == 1) {
            const int count = Vistrel1.pages();
            for (int page = 1; page <= count; ++page)
                AddDevicePage(page);
        } else if (kind == 2) {
            AddDevicePage(current);
        } else if (kind == 3) {
            for (int page : pages)
                AddDevicePage(page);
        }
        SetPage(current);
        tvForPalm->setUpdatesEnabled(true);
    }
    deviceChoiceChanged_ = true;
    UpdateTreeButtons();
}

void TBrevantForm::AddDevicePage(int page) {
    SetPage(page);
    tvForPalm->setFocus();
    win::ComPtr<ITreeNode> node = Vistrel1.State();
    setNodeStateText(node.get(), SetCsvField(nodeStateText(node.get()), 7,
                                             QString::number(deviceFormat_)));
    deviceChoiceChanged_ = true;
    addTreeItem(deviceTree(), nullptr, -1, node, false);
}

void TBrevantForm::FileSave1Execute() {
    deviceTree().tag = -1;
    deviceChoiceChanged_ = true;
    questionAnswered_ = true;
    SaveTree(deviceTree());
}

bool TBrevantForm::SavePalmTree(TreeBinding& binding) {
    if (binding.tag != -1 && !treeChanged(binding))
        return true;
    pdbFileName_.clear();
    if (binding.tree->topLevelItemCount() > 0 && deviceChoiceChanged_) {
        const QString file = Vistrel1.filename();
        const MessageAnswer answer =
            questionAnswered_
                ? MessageAnswer::Yes
                : askWarning("Save selected sections of " + QFileInfo(file).fileName() +
                                 " as PDB file for device?",
                             MessageButtons::YesNoCancel, MessageAnswer::Yes);
        if (answer == MessageAnswer::Cancel) {
            questionAnswered_ = true;
            return false;
        }
        if (answer == MessageAnswer::Yes && savePdbDialog) {
            const QString proposed = file.left(std::max<qsizetype>(file.size() - 3, 0)) + "pdb";
            QString chosen = savePdbDialog(proposed);
            if (!chosen.isEmpty()) {
                if (QFileInfo(chosen).suffix().isEmpty())
                    chosen += QStringLiteral(".pdb");
                pdbFileName_ = chosen;
            }
        }
    }
    runTreeHandBack([&] {
        const win::ComPtr<ITreeNode> root = handBackRoot(binding);
        if (pdbFileName_.isEmpty())
            return;
        if (QFileInfo::exists(pdbFileName_) &&
            askWarning(pdbFileName_ + " already exist.\rDo you want to replace it?",
                       MessageButtons::YesNo, MessageAnswer::No) != MessageAnswer::Yes)
            pdbFileName_.clear();
        if (!pdbFileName_.isEmpty()) {
            repaint();
            if (Vistrel1.writePDB(pdbFileName_, root.get()) != win::S_OK) {
                showError(QStringLiteral("Error writing PDB file."));
            } else if (readSetting(settings::kAutostartPdb) && openWithShell) {
                openWithShell(pdbFileName_);
            }
        }
        deviceChoiceChanged_ = false;
        UpdateTreeButtons();
    });
    const bool accepted = handBackAccepted();
    if (accepted)
        endHandBack(binding);
    ResetProgress();
    return accepted;
}

void TBrevantForm::Vistrel1pdbRecordsLimitExceeded() {
    Vistrel1.setWriteMode(BigPDBWriteMode::Normal);
}

void TBrevantForm::HotSyncClick() {
    const QString path = hotSyncPath();
    if (!path.isEmpty() && startProgram)
        startProgram(path);
}

}  // namespace brevant
