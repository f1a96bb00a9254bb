// The engine's global PDF name constants.
//
// One NameConstant per fixed PDF name the engine looks up, compares or writes,
// in load order. Each is built by the constant registry when the library is
// loaded and destroyed, newest first, when it is unloaded; use them by name:
//     dict->get(names::Type)
// The identifier is the name without its solidus ("/In-line" is In_line).
#pragma once

#include "engine/constants/constant_slot.h"
#include "engine/object/pdf_object.h"

// X(identifier, text): the 255 names built in one run, in load order.
#define VISTREL_NAME_CONSTANTS(X)                                                                  \
    /* Graphics-state parameter dictionary keys (19) */                                            \
    X(SA, u"/SA")                                                                                  \
    X(OP, u"/OP")                                                                                  \
    X(op, u"/op")                                                                                  \
    X(OPM, u"/OPM")                                                                                \
    X(BG, u"/BG")                                                                                  \
    X(BG2, u"/BG2")                                                                                \
    X(UCR, u"/UCR")                                                                                \
    X(UCR2, u"/UCR2")                                                                              \
    X(TR, u"/TR")                                                                                  \
    X(TR2, u"/TR2")                                                                                \
    X(HT, u"/HT")                                                                                  \
    X(HTP, u"/HTP")                                                                                \
    X(SM, u"/SM")                                                                                  \
    X(LW, u"/LW")                                                                                  \
    X(LC, u"/LC")                                                                                  \
    X(LJ, u"/LJ")                                                                                  \
    X(ML, u"/ML")                                                                                  \
    X(FL, u"/FL")                                                                                  \
    X(RI, u"/RI")                                                                                  \
    /* Security and linearization (7) */                                                           \
    X(Standard, u"/Standard")                                                                      \
    X(R, u"/R")                                                                                    \
    X(O, u"/O")                                                                                    \
    X(V, u"/V")                                                                                    \
    X(Linearized, u"/Linearized")                                                                  \
    X(L, u"/L")                                                                                    \
    X(U, u"/U")                                                                                    \
    /* Trailer and document structure (10) */                                                      \
    X(Type, u"/Type")                                                                              \
    X(Size, u"/Size")                                                                              \
    X(Prev, u"/Prev")                                                                              \
    X(Root, u"/Root")                                                                              \
    X(Page, u"/Page")                                                                              \
    X(Info, u"/Info")                                                                              \
    X(ID, u"/ID")                                                                                  \
    X(Encrypt, u"/Encrypt")                                                                        \
    X(Pages, u"/Pages")                                                                            \
    X(Count, u"/Count")                                                                            \
    /* Page objects and page resources (23) */                                                     \
    X(Kids, u"/Kids")                                                                              \
    X(Resources, u"/Resources")                                                                    \
    X(Rotate, u"/Rotate")                                                                          \
    X(Thumb, u"/Thumb")                                                                            \
    X(Annots, u"/Annots")                                                                          \
    X(B, u"/B")                                                                                    \
    X(Dur, u"/Dur")                                                                                \
    X(Hid, u"/Hid")                                                                                \
    X(Pattern, u"/Pattern")                                                                        \
    X(ExtGState, u"/ExtGState")                                                                    \
    X(Properties, u"/Properties")                                                                  \
    X(ProcSet, u"/ProcSet")                                                                        \
    X(Trans, u"/Trans")                                                                            \
    X(AA, u"/AA")                                                                                  \
    X(PieceInfo, u"/PieceInfo")                                                                    \
    X(SeparationInfo, u"/SeparationInfo")                                                          \
    X(PZ, u"/PZ")                                                                                  \
    X(Contents, u"/Contents")                                                                      \
    X(MediaBox, u"/MediaBox")                                                                      \
    X(CropBox, u"/CropBox")                                                                        \
    X(ArtBox, u"/ArtBox")                                                                          \
    X(TrimBox, u"/TrimBox")                                                                        \
    X(BleedBox, u"/BleedBox")                                                                      \
    /* Catalog entries (5) */                                                                      \
    X(PageMode, u"/PageMode")                                                                      \
    X(URI, u"/URI")                                                                                \
    X(ViewerPreferences, u"/ViewerPreferences")                                                    \
    X(PageLayout, u"/PageLayout")                                                                  \
    X(JavaScript, u"/JavaScript")                                                                  \
    /* Document information dictionary (8) */                                                      \
    X(Title, u"/Title")                                                                            \
    X(Subject, u"/Subject")                                                                        \
    X(Author, u"/Author")                                                                          \
    X(Keywords, u"/Keywords")                                                                      \
    X(Creator, u"/Creator")                                                                        \
    X(Producer, u"/Producer")                                                                      \
    X(CreationDate, u"/CreationDate")                                                              \
    X(ModDate, u"/ModDate")                                                                        \
    /* Outline tree (6) */                                                                         \
    X(Parent, u"/Parent")                                                                          \
    X(Next, u"/Next")                                                                              \
    X(First, u"/First")                                                                            \
    X(Last, u"/Last")                                                                              \
    X(SE, u"/SE")                                                                                  \
    X(Outlines, u"/Outlines")                                                                      \
    /* Actions, destinations and name trees (18) */                                                \
    X(Action, u"/Action")                                                                          \
    X(GoTo, u"/GoTo")                                                                              \
    X(S, u"/S")                                                                                    \
    X(OpenAction, u"/OpenAction")                                                                  \
    X(A, u"/A")                                                                                    \
    X(D, u"/D")                                                                                    \
    X(XYZ, u"/XYZ")                                                                                \
    X(Fit, u"/Fit")                                                                                \
    X(FitB, u"/FitB")                                                                              \
    X(FitH, u"/FitH")                                                                              \
    X(FitV, u"/FitV")                                                                              \
    X(FitBH, u"/FitBH")                                                                            \
    X(FitBV, u"/FitBV")                                                                            \
    X(FitR, u"/FitR")                                                                              \
    X(Names, u"/Names")                                                                            \
    X(Limits, u"/Limits")                                                                          \
    X(Dests, u"/Dests")                                                                            \
    X(Dest, u"/Dest")                                                                              \
    /* Annotations (23) */                                                                         \
    X(Rect, u"/Rect")                                                                              \
    X(Border, u"/Border")                                                                          \
    X(C, u"/C")                                                                                    \
    X(T, u"/T")                                                                                    \
    X(F, u"/F")                                                                                    \
    X(H, u"/H")                                                                                    \
    X(I, u"/I")                                                                                    \
    X(BS, u"/BS")                                                                                  \
    X(AP, u"/AP")                                                                                  \
    X(AS, u"/AS")                                                                                  \
    X(Popup, u"/Popup")                                                                            \
    X(P, u"/P")                                                                                    \
    X(Annot, u"/Annot")                                                                            \
    X(Text, u"/Text")                                                                              \
    X(Link, u"/Link")                                                                              \
    X(FreeText, u"/FreeText")                                                                      \
    X(Open, u"/Open")                                                                              \
    X(Name, u"/Name")                                                                              \
    X(Note, u"/Note")                                                                              \
    X(PA, u"/PA")                                                                                  \
    X(DA, u"/DA")                                                                                  \
    X(M, u"/M")                                                                                    \
    X(LastModified, u"/LastModified")                                                              \
    /* Function dictionaries (12) */                                                               \
    X(Domain, u"/Domain")                                                                          \
    X(Range, u"/Range")                                                                            \
    X(BitsPerSample, u"/BitsPerSample")                                                            \
    X(Order, u"/Order")                                                                            \
    X(Encode, u"/Encode")                                                                          \
    X(Decode, u"/Decode")                                                                          \
    X(FunctionType, u"/FunctionType")                                                              \
    X(N, u"/N")                                                                                    \
    X(C0, u"/C0")                                                                                  \
    X(C1, u"/C1")                                                                                  \
    X(Functions, u"/Functions")                                                                    \
    X(Bounds, u"/Bounds")                                                                          \
    /* Stream dictionaries and the full filter names (10) */                                       \
    X(ASCIIHexDecode, u"/ASCIIHexDecode")                                                          \
    X(ASCII85Decode, u"/ASCII85Decode")                                                            \
    X(LZWDecode, u"/LZWDecode")                                                                    \
    X(FlateDecode, u"/FlateDecode")                                                                \
    X(DCTDecode, u"/DCTDecode")                                                                    \
    X(CCITTFaxDecode, u"/CCITTFaxDecode")                                                          \
    X(RunLengthDecode, u"/RunLengthDecode")                                                        \
    X(Length, u"/Length")                                                                          \
    X(DecodeParms, u"/DecodeParms")                                                                \
    X(Filter, u"/Filter")                                                                          \
    /* Further names without a reader (6) */                                                       \
    X(Streams, u"/Streams")                                                                        \
    X(Objects, u"/Objects")                                                                        \
    X(External, u"/External")                                                                      \
    X(In_line, u"/In-line")                                                                        \
    X(Shading, u"/Shading")                                                                        \
    X(Path, u"/Path")                                                                              \
    /* Inline-image keys and the abbreviated filter names (10) */                                  \
    X(W, u"/W")                                                                                    \
    X(BPC, u"/BPC")                                                                                \
    X(AHx, u"/AHx")                                                                                \
    X(A85, u"/A85")                                                                                \
    X(CCF, u"/CCF")                                                                                \
    X(DCT, u"/DCT")                                                                                \
    X(Fl, u"/Fl")                                                                                  \
    X(LZW, u"/LZW")                                                                                \
    X(RL, u"/RL")                                                                                  \
    X(DP, u"/DP")                                                                                  \
    /* Graphics-state words (6) */                                                                 \
    X(Flateness, u"/Flateness")                                                                    \
    X(Linecap, u"/Linecap")                                                                        \
    X(Linedash, u"/Linedash")                                                                      \
    X(Linejoin, u"/Linejoin")                                                                      \
    X(Linewidth, u"/Linewidth")                                                                    \
    X(Mitterlimit, u"/Mitterlimit")                                                                \
    /* Colour-space families, external objects, the engine's catalog entry and remote go-to (8) */ \
    X(Alternate, u"/Alternate")                                                                    \
    X(ICCBased, u"/ICCBased")                                                                      \
    X(XObject, u"/XObject")                                                                        \
    X(Xobject, u"/Xobject")                                                                        \
    X(Subtype, u"/Subtype")                                                                        \
    X(Image, u"/Image")                                                                            \
    X(LumbraData, u"/LumbraData")                                                                  \
    X(GoToR, u"/GoToR")                                                                            \
    /* Text state (4) */                                                                           \
    X(CharSpacing, u"/CharSpacing")                                                                \
    X(WordSpacing, u"/WordSpacing")                                                                \
    X(Leading, u"/Leading")                                                                        \
    X(RenderMode, u"/RenderMode")                                                                  \
    /* Colour spaces (26) */                                                                       \
    X(WhitePoint, u"/WhitePoint")                                                                  \
    X(BlackPoint, u"/BlackPoint")                                                                  \
    X(Gamma, u"/Gamma")                                                                            \
    X(DeviceGray, u"/DeviceGray")                                                                  \
    X(DeviceRGB, u"/DeviceRGB")                                                                    \
    X(DeviceCMYK, u"/DeviceCMYK")                                                                  \
    X(CalGray, u"/CalGray")                                                                        \
    X(CalRGB, u"/CalRGB")                                                                          \
    X(Lab, u"/Lab")                                                                                \
    X(Separation, u"/Separation")                                                                  \
    X(DeviceN, u"/DeviceN")                                                                        \
    X(Indexed, u"/Indexed")                                                                        \
    X(ColorSpace, u"/ColorSpace")                                                                  \
    X(ColorSpaceFill, u"/ColorSpaceFill")                                                          \
    X(ColorSpaceStroke, u"/ColorSpaceStroke")                                                      \
    X(GrayFill, u"/GrayFill")                                                                      \
    X(GrayStroke, u"/GrayStroke")                                                                  \
    X(RGBFill, u"/RGBFill")                                                                        \
    X(RGBStroke, u"/RGBStroke")                                                                    \
    X(DefaultRGB, u"/DefaultRGB")                                                                  \
    X(DefaultGray, u"/DefaultGray")                                                                \
    X(DefaultCMYK, u"/DefaultCMYK")                                                                \
    X(CalibratedGray, u"/CalibratedGray")                                                          \
    X(CalibratedRGB, u"/CalibratedRGB")                                                            \
    X(CMYKFill, u"/CMYKFill")                                                                      \
    X(CMYKStroke, u"/CMYKStroke")                                                                  \
    /* Images and forms (12) */                                                                    \
    X(Height, u"/Height")                                                                          \
    X(IM, u"/IM")                                                                                  \
    X(ImageMask, u"/ImageMask")                                                                    \
    X(Width, u"/Width")                                                                            \
    X(Interpolate, u"/Interpolate")                                                                \
    X(Form, u"/Form")                                                                              \
    X(PS, u"/PS")                                                                                  \
    X(BitsPerComponent, u"/BitsPerComponent")                                                      \
    X(CS, u"/CS")                                                                                  \
    X(CMYK, u"/CMYK")                                                                              \
    X(G, u"/G")                                                                                    \
    X(RGB, u"/RGB")                                                                                \
    /* Font dictionaries (12) */                                                                   \
    X(BaseFont, u"/BaseFont")                                                                      \
    X(Widths, u"/Widths")                                                                          \
    X(FirstChar, u"/FirstChar")                                                                    \
    X(LastChar, u"/LastChar")                                                                      \
    X(Type1, u"/Type1")                                                                            \
    X(TrueType, u"/TrueType")                                                                      \
    X(MMType1, u"/MMType1")                                                                        \
    X(Type3, u"/Type3")                                                                            \
    X(Type0, u"/Type0")                                                                            \
    X(CIDFontType0, u"/CIDFontType0")                                                              \
    X(CIDFontType2, u"/CIDFontType2")                                                              \
    X(Font, u"/Font")                                                                              \
    /* Font descriptors, embedded font programs and encodings (23) */                              \
    X(FontBBox, u"/FontBBox")                                                                      \
    X(FontName, u"/FontName")                                                                      \
    X(Ascent, u"/Ascent")                                                                          \
    X(CapHeight, u"/CapHeight")                                                                    \
    X(CharSet, u"/CharSet")                                                                        \
    X(Descent, u"/Descent")                                                                        \
    X(Flags, u"/Flags")                                                                            \
    X(ItalicAngle, u"/ItalicAngle")                                                                \
    X(StemV, u"/StemV")                                                                            \
    X(AvgWidth, u"/AvgWidth")                                                                      \
    X(MaxWidth, u"/MaxWidth")                                                                      \
    X(MissingWidth, u"/MissingWidth")                                                              \
    X(StemH, u"/StemH")                                                                            \
    X(XHeight, u"/XHeight")                                                                        \
    X(FontDescriptor, u"/FontDescriptor")                                                          \
    X(CIDFontType0C, u"/CIDFontType0C")                                                            \
    X(FontFile, u"/FontFile")                                                                      \
    X(FontFile2, u"/FontFile2")                                                                    \
    X(FontFile3, u"/FontFile3")                                                                    \
    X(Type1C, u"/Type1C")                                                                          \
    X(BaseEncoding, u"/BaseEncoding")                                                              \
    X(Differences, u"/Differences")                                                                \
    X(Encoding, u"/Encoding")                                                                      \
    /* Form XObjects and Type 3 fonts (4) */                                                       \
    X(BBox, u"/BBox")                                                                              \
    X(FormType, u"/FormType")                                                                      \
    X(CharProcs, u"/CharProcs")                                                                    \
    X(FontMatrix, u"/FontMatrix")                                                                  \
    /* Named encodings (3) */                                                                      \
    X(MacRomanEncoding, u"/MacRomanEncoding")                                                      \
    X(WinAnsiEncoding, u"/WinAnsiEncoding")                                                        \
    X(StandartEncoding, u"/StandartEncoding")

// Built on their own, after the keyword constants.
#define VISTREL_LATE_NAME_CONSTANTS(X) X(Matrix, u"/Matrix")

namespace vistrel {

namespace detail {
#define VISTREL_X(id, text) kName_##id,
enum NameConstantIndex : int { VISTREL_NAME_CONSTANTS(VISTREL_X) kNameConstantCount };
enum LateNameConstantIndex : int { VISTREL_LATE_NAME_CONSTANTS(VISTREL_X) kLateNameConstantCount };
#undef VISTREL_X
extern ConstantSlot<NameConstant> nameConstantSlots[kNameConstantCount];
extern ConstantSlot<NameConstant> lateNameConstantSlots[kLateNameConstantCount];
}  // namespace detail

namespace names {
#define VISTREL_X(id, text) \
    inline constexpr NameConstant& id = detail::nameConstantSlots[detail::kName_##id].object;
VISTREL_NAME_CONSTANTS(VISTREL_X)
#undef VISTREL_X
#define VISTREL_X(id, text) \
    inline constexpr NameConstant& id = detail::lateNameConstantSlots[detail::kName_##id].object;
VISTREL_LATE_NAME_CONSTANTS(VISTREL_X)
#undef VISTREL_X
}  // namespace names

}  // namespace vistrel
