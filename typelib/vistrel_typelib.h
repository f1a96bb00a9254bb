// The Vistrel type library: the ids of its classes and interfaces, the
// records and enums that cross the automation boundary, the interfaces
// `IVistrel`, `ITreeNode` and the event interface `_IVistrelEvents` with
// their dispatch ids, and the member tables their IDispatch side answers
// names from. The engine implements the interfaces; the viewer and test
// hosts call them. Nothing links against this header.
//
// Records keep their field order; integers are 32 bits (the type library's
// `long`), texts are BSTRs owned by whoever holds the record.
#pragma once

#include "typelib/dispatch_support.h"

namespace VISTRELLib {

using win::BSTR;
using win::DISPID;
using win::HRESULT;
using win::LONG;

// ---------------------------------------------------------------------------
// Library, classes and interfaces.

// {BA7576B0-49B0-4272-A3E9-CE7A1989A63F}
inline constexpr win::GUID LIBID_VISTRELLib = {
    0xBA7576B0, 0x49B0, 0x4272, {0xA3, 0xE9, 0xCE, 0x7A, 0x19, 0x89, 0xA6, 0x3F}};
inline constexpr win::USHORT kLibraryMajorVersion = 1;
inline constexpr win::USHORT kLibraryMinorVersion = 0;
inline constexpr const char16_t* kLibraryName = u"Vistrel 1.0 Type Library";

// {873C87C3-7F1B-4D98-B966-0C8CABFDC651}
inline constexpr win::CLSID CLSID_Vistrel = {
    0x873C87C3, 0x7F1B, 0x4D98, {0xB9, 0x66, 0x0C, 0x8C, 0xAB, 0xFD, 0xC6, 0x51}};
inline constexpr const char16_t* kVistrelProgId = u"VistrelLib.Vistrel.1";
inline constexpr const char16_t* kVistrelVersionIndependentProgId = u"VistrelLib.Vistrel";

// {0A76D28C-1620-42BC-9A55-34491C527002}
inline constexpr win::CLSID CLSID_TreeNode = {
    0x0A76D28C, 0x1620, 0x42BC, {0x9A, 0x55, 0x34, 0x49, 0x1C, 0x52, 0x70, 0x02}};
inline constexpr const char16_t* kTreeNodeProgId = u"VistrelLib.TreeNode.1";

// {AEEE8C69-A59C-4C16-B73A-7D751C32B997}
inline constexpr win::IID IID_IVistrel = {
    0xAEEE8C69, 0xA59C, 0x4C16, {0xB7, 0x3A, 0x7D, 0x75, 0x1C, 0x32, 0xB9, 0x97}};
// {BA4B2E8E-FEAA-4690-8107-2D1AA1B9A8D6}
inline constexpr win::IID DIID__IVistrelEvents = {
    0xBA4B2E8E, 0xFEAA, 0x4690, {0x81, 0x07, 0x2D, 0x1A, 0xA1, 0xB9, 0xA8, 0xD6}};
// {147F6A5E-9042-48C2-A84C-2F5589DF32E9}
inline constexpr win::IID IID_ITreeNode = {
    0x147F6A5E, 0x9042, 0x48C2, {0xA8, 0x4C, 0x2F, 0x55, 0x89, 0xDF, 0x32, 0xE9}};

// ---------------------------------------------------------------------------
// Enums.

enum class TreeNodeType : LONG {
    State = 0,
    TOC = 1,
    Link = 2,
    Annotation = 3,
    Font_Info = 4,
    Word_Info = 5
};

enum class PalmFormat : LONG { NotPalm = 0, Color4 = 4, Color16 = 16, Color16a = 17 };

enum class PageAnnotationType : LONG { Icon = 0, IconOpened = 1, Popup = 2, PopupOpened = 3 };

enum class FontType : LONG { TrueType = 0, Type1 = 1, Type1C = 2, Type3 = 3 };

// What the Palm export does once the database would need more than 255
// records.
enum class BigPDBWriteMode : LONG { Normal = 1, NotWrite = 2, CutOdd = 3, Split = 4 };

// ---------------------------------------------------------------------------
// Records.

// A view: page (1-based), zoom (1.0 is 100 %), scroll position, quality and
// memory-usage levels, device format.
struct DocState {
    LONG page;
    double zoom;
    LONG x;
    LONG y;
    LONG quality;
    LONG memoryUsage;
    ::VISTRELLib::PalmFormat PalmFormat;
};

// A link: its two corners and the target point, in page bitmap pixels.
struct PageLink {
    LONG x;
    LONG y;
    LONG x1;
    LONG y1;
    LONG toPage;
    LONG toX;
    LONG toY;
};

// A text annotation or its pop-up; color is 0x00BBGGRR.
struct PageAnnotation {
    LONG x;
    LONG y;
    LONG width;
    LONG height;
    LONG color;
    BSTR caption;
    BSTR text;
    PageAnnotationType type;
};

struct FontInfo {
    FontType original;
    BSTR originalName;
    FontType used;
    BSTR usedName;
    BSTR encoding;
};

struct WordInfo {
    LONG x;
    LONG y;
    LONG x1;
    LONG y1;
    BSTR fontFamily;
    BSTR fontModificator;
    LONG fontSize;
};

struct DocInfo {
    BSTR title;
    BSTR subject;
    BSTR author;
    BSTR keywords;
    BSTR creator;
    BSTR producer;
    BSTR creationDate;
    BSTR modificationDate;
};

// Each field 0 or 1.
struct SecurityInfo {
    LONG encrypted;
    LONG userPassword;
    LONG ownerPassword;
    LONG printEnable;
    LONG changeEnable;
    LONG copyEnable;
    LONG changeAnnotationsEnable;
    LONG ownerPasswordEntered;
};

// ---------------------------------------------------------------------------
// Interfaces. Members keep the type library's order; a property's get comes
// before its put. The dispatch ids follow each interface.

struct ITreeNode : win::IDispatch {
    virtual HRESULT get_type(TreeNodeType* pVal) = 0;
    virtual HRESULT get_name(BSTR* pVal) = 0;
    virtual HRESULT put_name(BSTR newVal) = 0;
    virtual HRESULT get_kids(LONG* pVal) = 0;
    virtual HRESULT get_root(ITreeNode** pVal) = 0;
    virtual HRESULT get_parent(ITreeNode** pVal) = 0;
    virtual HRESULT get_next(ITreeNode** pVal) = 0;
    virtual HRESULT get_previous(ITreeNode** pVal) = 0;
    virtual HRESULT get_kid(LONG index, ITreeNode** pVal) = 0;
    virtual HRESULT addKid(ITreeNode* kid) = 0;
    virtual HRESULT insertKid(ITreeNode* kid, LONG index) = 0;
    virtual HRESULT removeKid(LONG index) = 0;
    virtual HRESULT removeKids() = 0;
    virtual HRESULT get_ID(LONG* pVal) = 0;  // restricted
    virtual HRESULT get_State(DocState* pVal) = 0;
    virtual HRESULT get_WordInfo(WordInfo* pVal) = 0;
    virtual HRESULT get_wordInfoInStr(BSTR* pVal) = 0;
    virtual HRESULT put_State(DocState newVal) = 0;
    virtual HRESULT get_stateInStr(BSTR* pVal) = 0;
    virtual HRESULT put_stateInStr(BSTR newVal) = 0;
    virtual HRESULT get_Link(PageLink* pVal) = 0;
    virtual HRESULT get_linkInStr(BSTR* pVal) = 0;
    virtual HRESULT get_Annotation(PageAnnotation* pVal) = 0;
    virtual HRESULT get_annotationInStr(BSTR* pVal) = 0;
    virtual HRESULT get_FontInfo(FontInfo* pVal) = 0;
    virtual HRESULT get_fontInfoInStr(BSTR* pVal) = 0;

protected:
    ~ITreeNode() = default;
};

namespace TreeNodeDispid {
enum : DISPID {
    type = 1,
    name = 2,
    kids = 3,
    root = 4,
    parent = 5,
    next = 6,
    previous = 7,
    kid = 8,
    addKid = 9,
    insertKid = 10,
    removeKid = 11,
    removeKids = 12,
    ID = 13,
    State = 14,
    stateInStr = 15,
    Link = 16,
    linkInStr = 17,
    Annotation = 18,
    annotationInStr = 19,
    FontInfo = 20,
    fontInfoInStr = 21,
    WordInfo = 22,
    wordInfoInStr = 23,
};
}  // namespace TreeNodeDispid

struct IVistrel : win::IDispatch {
    virtual HRESULT open(BSTR filename, BSTR password) = 0;
    virtual HRESULT close() = 0;
    virtual HRESULT get_root(BSTR name, ITreeNode** pVal) = 0;
    virtual HRESULT put_root(BSTR name, ITreeNode* pVal) = 0;
    virtual HRESULT get_State(ITreeNode** pVal) = 0;
    virtual HRESULT put_State(ITreeNode* pVal) = 0;
    virtual HRESULT render() = 0;
    virtual HRESULT draw(LONG hdc, LONG x, LONG y, LONG width, LONG height, LONG offsetX,
                         LONG offsetY) = 0;
    virtual HRESULT get_width(LONG* pVal) = 0;
    virtual HRESULT get_height(LONG* pVal) = 0;
    virtual HRESULT get_pages(LONG* pVal) = 0;
    virtual HRESULT setVisibleRect(LONG width, LONG height) = 0;
    virtual HRESULT get_filename(BSTR* pVal) = 0;
    virtual HRESULT writePDB(BSTR filename, ITreeNode* pRoot) = 0;
    virtual HRESULT mouseClick(LONG x, LONG y) = 0;
    virtual HRESULT writeJPG(BSTR filename) = 0;
    virtual HRESULT get_JPG(win::VARIANT* pVal) = 0;
    virtual HRESULT get_info(DocInfo* pVal) = 0;
    virtual HRESULT get_infoInStr(BSTR* pVal) = 0;
    virtual HRESULT get_PNG(win::VARIANT* pVal) = 0;
    virtual HRESULT get_actualWidth(LONG* pVal) = 0;
    virtual HRESULT get_actualHeight(LONG* pVal) = 0;
    virtual HRESULT get_SecurityInfo(SecurityInfo* pVal) = 0;
    virtual HRESULT get_securityInfoInStr(BSTR* pVal) = 0;
    virtual HRESULT get_writeMode(BigPDBWriteMode* pVal) = 0;
    virtual HRESULT put_writeMode(BigPDBWriteMode newVal) = 0;

protected:
    ~IVistrel() = default;
};

namespace VistrelDispid {
enum : DISPID {
    open = 1,
    close = 2,
    root = 3,
    State = 4,
    render = 5,
    draw = 6,
    width = 7,
    height = 8,
    pages = 9,
    setVisibleRect = 10,
    filename = 11,
    writePDB = 12,
    mouseClick = 13,
    writeJPG = 14,
    JPG = 15,
    info = 16,
    infoInStr = 17,
    PNG = 18,
    actualWidth = 19,
    actualHeight = 20,
    SecurityInfo = 21,
    securityInfoInStr = 22,
    writeMode = 23,
};
}  // namespace VistrelDispid

// _IVistrelEvents is a dispatch interface only: the host's sink receives
// each event as Invoke with its id and DISPATCH_METHOD.
namespace VistrelEventsDispid {
enum : DISPID {
    startProgressIndicator = 1,
    setProgressIndicator = 2,  // short percentage
    stopProgressIndicator = 3,
    changePage = 4,    // long page
    changeOffset = 5,  // long x, long y
    changeZoom = 6,    // double zoom
    fitWindow = 7,
    fitWidth = 8,       // long y
    fitHeight = 9,      // long x
    fitRectangle = 10,  // long x, y, width, height
    pdbRecordsLimitExceeded = 11,
};
}  // namespace VistrelEventsDispid

// ---------------------------------------------------------------------------
// Member tables: the names GetIDsOfNames answers (dispatchIdsOfNames).

inline constexpr DispatchMember kTreeNodeMembers[] = {
    {u"type", TreeNodeDispid::type},
    {u"name", TreeNodeDispid::name},
    {u"kids", TreeNodeDispid::kids},
    {u"root", TreeNodeDispid::root},
    {u"parent", TreeNodeDispid::parent},
    {u"next", TreeNodeDispid::next},
    {u"previous", TreeNodeDispid::previous},
    {u"kid", TreeNodeDispid::kid},
    {u"addKid", TreeNodeDispid::addKid},
    {u"insertKid", TreeNodeDispid::insertKid},
    {u"removeKid", TreeNodeDispid::removeKid},
    {u"removeKids", TreeNodeDispid::removeKids},
    {u"ID", TreeNodeDispid::ID},
    {u"State", TreeNodeDispid::State},
    {u"stateInStr", TreeNodeDispid::stateInStr},
    {u"Link", TreeNodeDispid::Link},
    {u"linkInStr", TreeNodeDispid::linkInStr},
    {u"Annotation", TreeNodeDispid::Annotation},
    {u"annotationInStr", TreeNodeDispid::annotationInStr},
    {u"FontInfo", TreeNodeDispid::FontInfo},
    {u"fontInfoInStr", TreeNodeDispid::fontInfoInStr},
    {u"WordInfo", TreeNodeDispid::WordInfo},
    {u"wordInfoInStr", TreeNodeDispid::wordInfoInStr},
};

inline constexpr DispatchMember kVistrelMembers[] = {
    {u"open", VistrelDispid::open},
    {u"close", VistrelDispid::close},
    {u"root", VistrelDispid::root},
    {u"State", VistrelDispid::State},
    {u"render", VistrelDispid::render},
    {u"draw", VistrelDispid::draw},
    {u"width", VistrelDispid::width},
    {u"height", VistrelDispid::height},
    {u"pages", VistrelDispid::pages},
    {u"setVisibleRect", VistrelDispid::setVisibleRect},
    {u"filename", VistrelDispid::filename},
    {u"writePDB", VistrelDispid::writePDB},
    {u"mouseClick", VistrelDispid::mouseClick},
    {u"writeJPG", VistrelDispid::writeJPG},
    {u"JPG", VistrelDispid::JPG},
    {u"info", VistrelDispid::info},
    {u"infoInStr", VistrelDispid::infoInStr},
    {u"PNG", VistrelDispid::PNG},
    {u"actualWidth", VistrelDispid::actualWidth},
    {u"actualHeight", VistrelDispid::actualHeight},
    {u"SecurityInfo", VistrelDispid::SecurityInfo},
    {u"securityInfoInStr", VistrelDispid::securityInfoInStr},
    {u"writeMode", VistrelDispid::writeMode},
};

inline constexpr DispatchMember kVistrelEventMembers[] = {
    {u"startProgressIndicator", VistrelEventsDispid::startProgressIndicator},
    {u"setProgressIndicator", VistrelEventsDispid::setProgressIndicator},
    {u"stopProgressIndicator", VistrelEventsDispid::stopProgressIndicator},
    {u"changePage", VistrelEventsDispid::changePage},
    {u"changeOffset", VistrelEventsDispid::changeOffset},
    {u"changeZoom", VistrelEventsDispid::changeZoom},
    {u"fitWindow", VistrelEventsDispid::fitWindow},
    {u"fitWidth", VistrelEventsDispid::fitWidth},
    {u"fitHeight", VistrelEventsDispid::fitHeight},
    {u"fitRectangle", VistrelEventsDispid::fitRectangle},
    {u"pdbRecordsLimitExceeded", VistrelEventsDispid::pdbRecordsLimitExceeded},
};

}  // namespace VISTRELLib
