// TVistrel: the viewer's hold on the engine. The engine is never linked: its
// control object is created by class id through COM, called through
// IVistrel, and its events arrive through an IDispatch sink advised on the
// object's connection point, where they become calls of the handler slots
// below. Engine calls whose result the caller tests (open, close, render,
// draw, writePDB, `root` put) give their HRESULT; the others raise
// EngineError when they fail, and `root` get gives no node instead.
#pragma once

#include <QObject>
#include <QString>

#include <exception>
#include <functional>
#include <span>

#include "platform/com/com_ptr.h"
#include "platform/gdi/gdi.h"
#include "typelib/vistrel_typelib.h"

namespace brevant {

using VISTRELLib::BigPDBWriteMode;
using VISTRELLib::ITreeNode;
using VISTRELLib::IVistrel;

class TVistrel : public QObject {
    Q_OBJECT

public:
    explicit TVistrel(QObject* parent = nullptr);
    ~TVistrel() override;  // disconnects

    // Creates the object when none is held (EngineError when creation or
    // the IVistrel query fails), advises the event sink and keeps IVistrel.
    void Connect();
    // Unadvises the sink and lets the object go.
    void Disconnect();
    // The held interface, connecting first when none is held.
    win::ComPtr<IVistrel> GetDefaultInterface();
    bool isConnected() const { return bool(engine_); }

    win::HRESULT open(const QString& fileName, const QString& password);
    win::HRESULT close();
    // The tree of that name; none when the engine does not give one.
    win::ComPtr<ITreeNode> root(const QString& name);
    // S_OK once the engine stored the tree in the document's file.
    win::HRESULT setRoot(const QString& name, ITreeNode* node);
    win::ComPtr<ITreeNode> State();
    void setState(ITreeNode* node);
    win::HRESULT render();
    win::HRESULT draw(win::HDC dc, win::LONG x, win::LONG y, win::LONG width, win::LONG height,
                      win::LONG offsetX, win::LONG offsetY);
    win::LONG width();
    win::LONG height();
    win::LONG pages();
    void setVisibleRect(win::LONG width, win::LONG height);
    QString filename();
    win::HRESULT writePDB(const QString& fileName, ITreeNode* root);
    QString infoInStr();
    win::LONG actualWidth();
    win::LONG actualHeight();
    QString securityInfoInStr();
    void setWriteMode(BigPDBWriteMode mode);

    // Event handler slots; an empty slot ignores its event.
    std::function<void(TVistrel* sender)> OnstartProgressIndicator;
    std::function<void(TVistrel* sender, win::SHORT percentage)> OnsetProgressIndicator;
    std::function<void(TVistrel* sender)> OnstopProgressIndicator;
    std::function<void(TVistrel* sender, win::LONG page)> OnchangePage;
    std::function<void(TVistrel* sender, win::LONG x, win::LONG y)> OnchangeOffset;
    std::function<void(TVistrel* sender, double zoom)> OnchangeZoom;
    std::function<void(TVistrel* sender)> OnfitWindow;
    std::function<void(TVistrel* sender, win::LONG y)> OnfitWidth;
    std::function<void(TVistrel* sender, win::LONG x)> OnfitHeight;
    std::function<void(TVistrel* sender, win::LONG x, win::LONG y, win::LONG width,
                       win::LONG height)>
        OnfitRectangle;
    std::function<void(TVistrel* sender)> OnpdbRecordsLimitExceeded;

    // Calls the handler of event `id` with the arguments (in declaration
    // order) converted to its types. Unknown ids and empty slots are
    // ignored; arguments that are missing or do not convert leave the
    // handler uncalled and give the failure. An error a handler raises
    // cannot pass back through the engine: it is raised by the engine
    // call during which the event came, once the engine returns (outside
    // any engine call, the default error handler gets it at once).
    win::HRESULT InvokeEvent(win::DISPID id, std::span<const win::VARIANT> arguments);

private:
    class EventSink;

    void connectEvents(const win::ComPtr<win::IUnknown>& object);
    // Runs one engine call; an error a handler raised meanwhile follows.
    template <class Call>
    win::HRESULT call(Call&& engineCall);
    template <class... Args, class Handler>
    win::HRESULT dispatch(const Handler& handler, std::span<const win::VARIANT> arguments);
    void keepError(const std::exception_ptr& error);

    win::ComPtr<IVistrel> engine_;
    win::ComPtr<win::IConnectionPoint> eventPoint_;
    win::DWORD eventCookie_ = 0;
    win::ComPtr<win::IDispatch> sink_;
    int callDepth_ = 0;
    std::exception_ptr pendingError_;
};

// The tree-node members the viewer uses; a failing call raises EngineError,
// and a kid that is not there (index from 1) comes back empty.
QString nodeStateText(ITreeNode* node);
void setNodeStateText(ITreeNode* node, const QString& text);
QString nodeLinkText(ITreeNode* node);
QString nodeAnnotationText(ITreeNode* node);
QString nodeFontInfoText(ITreeNode* node);
win::LONG nodeKids(ITreeNode* node);
win::ComPtr<ITreeNode> nodeKid(ITreeNode* node, win::LONG index);
QString nodeName(ITreeNode* node);
void setNodeName(ITreeNode* node, const QString& name);
void nodeAddKid(ITreeNode* node, ITreeNode* kid);
void nodeRemoveKids(ITreeNode* node);

}  // namespace brevant
