// Handles, live objects, contexts, selection and deletion.
#include "platform/graphics/gdiobjects.h"

#include "platform/core/sysutils.h"

#include <array>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

namespace {

enum TObjectKind { okBitmap, okPalette, okMemoryDC, okScreenDC };

// Every handle given out and not yet deleted, with its kind: a stale or foreign handle is
// looked up here before anything behind it is touched, and refused.
std::unordered_map<const TGdiObject*, TObjectKind>& ObjectHandles() {
  static std::unordered_map<const TGdiObject*, TObjectKind> Handles;
  return Handles;
}

std::unordered_map<const TGdiDC*, TObjectKind>& ContextHandles() {
  static std::unordered_map<const TGdiDC*, TObjectKind> Handles;
  return Handles;
}

// The tables are the process's, as the platform's handle tables are: threads that each keep to
// their own objects may make, look up and delete them at the same time.
std::mutex TablesLock;

std::array<int, 3> CallsUntilFailure{};

template <class Map, class Handle>
void Adopt(Map& Handles, Handle* Key, TObjectKind Kind) {
  const std::lock_guard Guard(TablesLock);
  Handles.emplace(Key, Kind);
}

template <class Map, class Handle>
void Forget(Map& Handles, Handle* Key) {
  const std::lock_guard Guard(TablesLock);
  Handles.erase(Key);
}

template <class T, class Handle, class Map>
T* LiveOf(Map& Handles, Handle* Key, TObjectKind Kind) {
  const std::lock_guard Guard(TablesLock);
  const auto Found = Handles.find(Key);
  if (Found == Handles.end() || Found->second != Kind)
    return nullptr;
  return static_cast<T*>(Key);
}

TDeviceContext* LiveContext(HDC Handle, TObjectKind Kind) {
  return LiveOf<TDeviceContext>(ContextHandles(), Handle, Kind);
}

HDC AdoptContext(std::unique_ptr<TDeviceContext> Context, TObjectKind Kind) {
  Adopt(ContextHandles(), Context.get(), Kind);
  return Context.release();
}

template <class Map>
int CountOf(const Map& Handles, TObjectKind Kind) {
  const std::lock_guard Guard(TablesLock);
  int Count = 0;
  for (const auto& [Handle, HandleKind] : Handles)
    Count += HandleKind == Kind ? 1 : 0;
  return Count;
}

} // namespace

bool TBitmapObject::Allocate() {
  Stride = PaddedRowBytes(Width, BitCount);
  const int64_t Bytes = Stride * Height;
  if (Width <= 0 || Height <= 0 || Bytes > MaxDIBSectionBytes)
    return false;
  // A big bitmap costs nothing until used.
  Bits = static_cast<uint8_t*>(AllocateZeroedBlock(static_cast<size_t>(Bytes)));
  return Bits != nullptr;
}

TBitmapObject::~TBitmapObject() {
  std::free(Bits);
}

TSurface TBitmapObject::Surface() const {
  TSurface View;
  View.Width = Width;
  View.Height = Height;
  View.BitCount = BitCount;
  View.Monochrome = Monochrome;
  View.TopDown = TopDown;
  View.Stride = Stride;
  View.Bits = Bits;
  if (BitCount <= 8 && !Monochrome) {
    View.Colors = Colors.data();
    View.ColorCount = static_cast<int>(Colors.size());
  }
  return View;
}

TBitmapObject* BitmapOf(HGDIOBJ Handle) {
  if (Handle == &StockBitmap())
    return &StockBitmap();
  return LiveOf<TBitmapObject>(ObjectHandles(), Handle, okBitmap);
}

TPaletteObject* PaletteOf(HGDIOBJ Handle) {
  return LiveOf<TPaletteObject>(ObjectHandles(), Handle, okPalette);
}

TDeviceContext* ContextOf(HDC Handle) {
  TDeviceContext* Context = LiveContext(Handle, okMemoryDC);
  return Context != nullptr ? Context : LiveContext(Handle, okScreenDC);
}

HBITMAP AdoptBitmap(std::unique_ptr<TBitmapObject> Bitmap) {
  Adopt(ObjectHandles(), Bitmap.get(), okBitmap);
  return Bitmap.release();
}

HPALETTE AdoptPalette(std::unique_ptr<TPaletteObject> Palette) {
  Adopt(ObjectHandles(), Palette.get(), okPalette);
  return Palette.release();
}

TBitmapObject& StockBitmap() {
  static TBitmapObject* const Stock = [] {
    auto* Bitmap = new TBitmapObject;
    Bitmap->Width = 1;
    Bitmap->Height = 1;
    Bitmap->BitCount = 1;
    Bitmap->Monochrome = true;
    Bitmap->Stock = true;
    Bitmap->Allocate();
    return Bitmap;
  }();
  return *Stock;
}

bool InjectedGdiFailure(TGdiCallKind Kind) {
  int& Left = CallsUntilFailure[static_cast<size_t>(Kind)];
  if (Left == 0)
    return false;
  return --Left == 0;
}

void GdiFailCall(TGdiCallKind Kind, int Nth) {
  CallsUntilFailure[static_cast<size_t>(Kind)] = Nth < 0 ? 0 : Nth;
}

int GdiLiveObjectCount() {
  return CountOf(ObjectHandles(), okBitmap) + CountOf(ObjectHandles(), okPalette) +
         CountOf(ContextHandles(), okMemoryDC);
}

int GdiScreenDCCount() {
  return CountOf(ContextHandles(), okScreenDC);
}

HDC CreateCompatibleDC(HDC Reference) {
  if ((Reference != nullptr && ContextOf(Reference) == nullptr) || InjectedGdiFailure(gcCreate))
    return nullptr;
  auto Context = std::make_unique<TDeviceContext>();
  Context->Selected = &StockBitmap();
  return AdoptContext(std::move(Context), okMemoryDC);
}

BOOL DeleteDC(HDC DC) {
  TDeviceContext* Context = LiveContext(DC, okMemoryDC);
  if (Context == nullptr)
    return FALSE;
  if (Context->Selected != nullptr && !Context->Selected->Stock)
    Context->Selected->SelectedInto = nullptr;
  Forget(ContextHandles(), DC);
  delete Context;
  return TRUE;
}

HDC GetDC(HWND) {
  auto Screen = std::make_unique<TDeviceContext>();
  Screen->Screen = true;
  return AdoptContext(std::move(Screen), okScreenDC);
}

int ReleaseDC(HWND, HDC DC) {
  TDeviceContext* Screen = LiveContext(DC, okScreenDC);
  if (Screen == nullptr)
    return 0;
  Forget(ContextHandles(), DC);
  delete Screen;
  return 1;
}

// Only bitmaps are selected by the codec; a bitmap lives in one memory context at a time.
HGDIOBJ SelectObject(HDC DC, HGDIOBJ Object) {
  TDeviceContext* Context = ContextOf(DC);
  TBitmapObject* Bitmap = BitmapOf(Object);
  if (Context == nullptr || Context->Screen || Bitmap == nullptr || InjectedGdiFailure(gcSelect))
    return nullptr;
  if (!Bitmap->Stock && Bitmap->SelectedInto != nullptr && Bitmap->SelectedInto != Context)
    return nullptr;
  TBitmapObject* Previous = Context->Selected;
  if (!Previous->Stock)
    Previous->SelectedInto = nullptr;
  if (!Bitmap->Stock)
    Bitmap->SelectedInto = Context;
  Context->Selected = Bitmap;
  return Previous;
}

HGDIOBJ GetCurrentObject(HDC DC, UINT Kind) {
  const TDeviceContext* Context = ContextOf(DC);
  if (Context == nullptr || Context->Screen || Kind != OBJ_BITMAP)
    return nullptr;
  return Context->Selected;
}

BOOL DeleteObject(HGDIOBJ Object) {
  if (TBitmapObject* Bitmap = BitmapOf(Object)) {
    if (Bitmap->Stock)
      return TRUE;
    if (Bitmap->SelectedInto != nullptr)
      return FALSE;
    Forget(ObjectHandles(), Bitmap);
    delete Bitmap;
    return TRUE;
  }
  if (TPaletteObject* Palette = PaletteOf(Object)) {
    Forget(ObjectHandles(), Palette);
    delete Palette;
    return TRUE;
  }
  return FALSE;
}

COLORREF SetBkColor(HDC DC, COLORREF Color) {
  TDeviceContext* Context = ContextOf(DC);
  if (Context == nullptr)
    return CLR_INVALID;
  const COLORREF Previous = Context->Background;
  Context->Background = Color;
  return Previous;
}

COLORREF GetBkColor(HDC DC) {
  const TDeviceContext* Context = ContextOf(DC);
  return Context != nullptr ? Context->Background : CLR_INVALID;
}

COLORREF SetTextColor(HDC DC, COLORREF Color) {
  TDeviceContext* Context = ContextOf(DC);
  if (Context == nullptr)
    return CLR_INVALID;
  const COLORREF Previous = Context->Text;
  Context->Text = Color;
  return Previous;
}

COLORREF GetTextColor(HDC DC) {
  const TDeviceContext* Context = ContextOf(DC);
  return Context != nullptr ? Context->Text : CLR_INVALID;
}
