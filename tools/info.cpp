#include "tools/info.h"

#include "tools/json.h"

#include <cstdio>
#include <ostream>
#include <sstream>
#include <vector>

namespace {

struct TChunkLine {
  std::string Type;
  int32_t Size;
};

struct TTextLine {
  std::string Keyword, Text;
  bool Compressed, Decoded;
};

// Everything info reports about a PNG image, gathered once for both forms.
struct TPngFacts {
  const TChunkIHDR* Header;
  std::vector<TChunkLine> Chunks;
  TTransparencyKind Transparency;
  COLORREF Key;
  const TChunkgAMA* Gamma;
  const TChunktIME* Time;
  std::vector<TTextLine> Texts;
};

TPngFacts GatherFacts(const TPNGObject& Png) {
  TPngFacts Facts{&Png.Header(), {}, Png.TransparencyKind(), Png.ImageKeyColor(), nullptr,
                  nullptr,       {}};
  for (int32_t Index = 0; Index < Png.ChunkList.Count(); ++Index) {
    const TChunk* Chunk = Png.ChunkList.Item(Index);
    const auto* Data = dynamic_cast<const TChunkIDAT*>(Chunk);
    Facts.Chunks.push_back({ChunkTagText(Chunk->ChunkTag),
                            Data != nullptr ? Data->FirstChunkBodySize : Chunk->ChunkBodySize()});
    if (const auto* Gamma = dynamic_cast<const TChunkgAMA*>(Chunk);
        Gamma != nullptr && Gamma->ValidBody() && Facts.Gamma == nullptr)
      Facts.Gamma = Gamma;
    if (const auto* Time = dynamic_cast<const TChunktIME*>(Chunk); Time != nullptr && !Facts.Time)
      Facts.Time = Time;
    if (const auto* Text = dynamic_cast<const TChunktEXt*>(Chunk)) {
      const auto* Compressed = dynamic_cast<const TChunkzTXt*>(Chunk);
      Facts.Texts.push_back({Text->Keyword, Text->Text, Compressed != nullptr,
                             Compressed == nullptr || Compressed->TextDecoded});
    }
  }
  return Facts;
}

const char* TransparencyName(TTransparencyKind Kind) {
  switch (Kind) {
  case trColorKey:
    return "colorkey";
  case trAlpha:
    return "alpha";
  default:
    return "opaque";
  }
}

const char* ColorTypeName(uint8_t ColorType) {
  switch (ColorType) {
  case COLOR_GRAYSCALE:
    return "greyscale";
  case COLOR_RGB:
    return "truecolour";
  case COLOR_PALETTE:
    return "palette";
  case COLOR_GRAYSCALEALPHA:
    return "greyscale with alpha";
  case COLOR_RGBALPHA:
    return "truecolour with alpha";
  default:
    return "unknown";
  }
}

std::string TimeText(const TChunktIME& Time) {
  char Text[32];
  std::snprintf(Text, sizeof Text, "%04u-%02u-%02u %02u:%02u:%02u", unsigned{Time.Year},
                unsigned{Time.Month}, unsigned{Time.Day}, unsigned{Time.Hour},
                unsigned{Time.Minute}, unsigned{Time.Second});
  return Text;
}

std::string KeyText(COLORREF Key, const char* Separator) {
  std::ostringstream Text;
  Text << unsigned{GetRValue(Key)} << Separator << unsigned{GetGValue(Key)} << Separator
       << unsigned{GetBValue(Key)};
  return Text.str();
}

const char* KindName(EmbeddedImageKind Kind) {
  return Kind == eikBitmap ? "bmp" : "png";
}

// Continuation lines of a text are indented under it.
std::string Indented(const std::string& Text) {
  std::string Lines;
  for (const char Char : Text) {
    Lines += Char;
    if (Char == '\n')
      Lines += "    ";
  }
  return Lines;
}

void PrintPngLines(const TPngFacts& Facts, std::ostream& Out) {
  const TChunkIHDR& H = *Facts.Header;
  Out << "width: " << H.Width << "\nheight: " << H.Height << "\nbit depth: " << unsigned{H.BitDepth}
      << "\ncolor type: " << unsigned{H.ColorType} << " (" << ColorTypeName(H.ColorType) << ")"
      << "\ninterlace: " << unsigned{H.InterlaceMethod}
      << (H.InterlaceMethod == 1 ? " (Adam7)" : " (none)") << "\nchunks:";
  for (const TChunkLine& Chunk : Facts.Chunks)
    Out << "\n  " << Latin1ToUtf8(Chunk.Type) << " " << Chunk.Size
        << (Chunk.Size == 1 ? " byte" : " bytes");
  Out << "\ntransparency: " << TransparencyName(Facts.Transparency);
  if (Facts.Transparency == trColorKey)
    Out << "\nkey color: " << KeyText(Facts.Key, ", ");
  Out << "\ngamma: ";
  if (Facts.Gamma != nullptr)
    Out << Facts.Gamma->GetGammaValue();
  else
    Out << "none";
  Out << "\ntime: " << (Facts.Time != nullptr ? TimeText(*Facts.Time) : "none") << "\ntexts:";
  if (Facts.Texts.empty())
    Out << " none";
  for (const TTextLine& Text : Facts.Texts) {
    Out << "\n  " << Latin1ToUtf8(Text.Keyword) << (Text.Compressed ? " (zTXt): " : " (tEXt): ");
    Out << (Text.Decoded ? Indented(Latin1ToUtf8(Text.Text)) : "(not decoded: kept as read)");
  }
  Out << "\n";
}

void PrintPngJson(const TPngFacts& Facts, std::ostream& Out) {
  const TChunkIHDR& H = *Facts.Header;
  Out << "\"width\":" << H.Width << ",\"height\":" << H.Height
      << ",\"bit_depth\":" << unsigned{H.BitDepth} << ",\"color_type\":" << unsigned{H.ColorType}
      << ",\"interlace\":" << unsigned{H.InterlaceMethod} << ",\"chunks\":[";
  for (size_t Index = 0; Index < Facts.Chunks.size(); ++Index)
    Out << (Index > 0 ? "," : "") << "{\"type\":" << JsonString(Facts.Chunks[Index].Type)
        << ",\"size\":" << Facts.Chunks[Index].Size << "}";
  Out << "],\"transparency\":\"" << TransparencyName(Facts.Transparency) << "\",\"key_color\":";
  if (Facts.Transparency == trColorKey)
    Out << "[" << KeyText(Facts.Key, ",") << "]";
  else
    Out << "null";
  Out << ",\"gamma\":";
  if (Facts.Gamma != nullptr)
    Out << Facts.Gamma->GetGammaValue();
  else
    Out << "null";
  Out << ",\"time\":" << (Facts.Time != nullptr ? "\"" + TimeText(*Facts.Time) + "\"" : "null")
      << ",\"texts\":[";
  for (size_t Index = 0; Index < Facts.Texts.size(); ++Index) {
    const TTextLine& Text = Facts.Texts[Index];
    Out << (Index > 0 ? "," : "") << "{\"keyword\":" << JsonString(Text.Keyword)
        << ",\"text\":" << JsonString(Text.Text)
        << ",\"compressed\":" << (Text.Compressed ? "true" : "false") << "}";
  }
  Out << "]";
}

void PrintBitmap(const TInputPicture& Input, bool Json, std::ostream& Out) {
  TBitmap& Bitmap = *Input.Bitmap;
  if (Json) {
    Out << "\"width\":" << Bitmap.GetWidth() << ",\"height\":" << Bitmap.GetHeight()
        << ",\"bits_per_pixel\":" << Input.FileBitsPerPixel;
    return;
  }
  Out << "width: " << Bitmap.GetWidth() << "\nheight: " << Bitmap.GetHeight()
      << "\nbits per pixel: " << Input.FileBitsPerPixel << "\n";
}

} // namespace

void PrintInfo(const TInputPicture& Input, bool Json, std::ostream& Out) {
  if (Json)
    Out << "{";
  else
    Out << "file: " << Input.Path << "\n";
  if (Input.Container) {
    if (Json)
      Out << "\"container\":{\"offset\":" << Input.Container->Offset << ",\"kind\":\""
          << KindName(Input.Container->Kind) << "\"},";
    else
      Out << "container: " << KindName(Input.Container->Kind) << " picture at offset "
          << Input.Container->Offset << "\n";
  }
  if (Input.Png) {
    const TPngFacts Facts = GatherFacts(*Input.Png);
    if (Json)
      PrintPngJson(Facts, Out);
    else
      PrintPngLines(Facts, Out);
  } else {
    PrintBitmap(Input, Json, Out);
  }
  if (Json)
    Out << "}\n";
}
