// orvane-cli picture: encode an image file as a handset picture record, decode a record.
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <QLoggingCategory>

#include "CliRegistry.h"
#include "picture/ImageEditor.h"
#include "picture/ImageFile.h"
#include "picture/PictureName.h"
#include "picture/PictureRecord.h"
#include "platform/AtomicFile.h"

namespace {

constexpr const char* kAreaHelp =
    "Usage: orvane-cli picture VERB [options] ARGS\n"
    "\n"
    "Verbs:\n"
    "  encode   make a handset picture record from an image file (BMP, JPEG, PNG, TIFF)\n"
    "  decode   turn a handset picture record back into an image file\n"
    "\n"
    "'orvane-cli picture VERB --help' describes a verb.\n";

constexpr const char* kEncodeHelp =
    "Usage: orvane-cli picture encode --kind wallpaper|picture-id --name NAME [options] IN OUT.rec\n"
    "\n"
    "Adjusts the image as the picture window does (colour planes, contrast, brightness,\n"
    "rotation, scale), cuts the target frame (128 x 110 for a wallpaper, 48 x 54 for a\n"
    "picture ID) from it onto white, and writes the 256-colour handset record.\n"
    "\n"
    "Options:\n"
    "  --kind wallpaper|picture-id   picture kind (required)\n"
    "  --name NAME                   handset name: 1 to 15 handset characters, no leading blank (required)\n"
    "  --scale F                     scale factor, 0.05 to 10 (default 1)\n"
    "  --rotate 90|-90|180|270       clockwise rotation in degrees (default 0)\n"
    "  --contrast C, --brightness B  -1000 to 1000 (default 0)\n"
    "  --red R, --green G, --blue B  colour planes, -1000 to 1000 (default 0)\n"
    "  --frame X,Y                   top-left corner of the target frame on the adjusted image\n"
    "                                (default 0,0; moved back inside the image where needed)\n";

constexpr const char* kDecodeHelp =
    "Usage: orvane-cli picture decode [--thumbnail THUMB] IN.rec OUT\n"
    "\n"
    "Decodes a handset picture record (15648 bytes wallpaper, 4160 bytes picture ID) to a\n"
    "24-bit image; the format follows OUT's extension (.bmp, .jpg, .jpeg, .png, .tif, .tiff).\n"
    "--thumbnail THUMB also writes the record's 32 x 32 thumbnail; both files are written or\n"
    "neither (a file already there is then left as it was).\n";

constexpr const char* kOpenFailedText = "The file could not be opened.(732)";
constexpr const char* kSaveFailedText = "The file could not be saved.(766)";

struct UsageError {
  std::string text;
};

int Usage(const std::string& verb, const std::string& text) {
  std::fprintf(stderr, "orvane-cli picture %s: %s (see --help)\n", verb.c_str(), text.c_str());
  return kCliUsage;
}

int Failed(const std::string& subject, const std::string& text) {
  std::fprintf(stderr, "orvane-cli picture: %s: %s\n", subject.c_str(), text.c_str());
  return kCliFailed;
}

bool IsHelp(const std::string& word) {
  return word == "--help" || word == "-h";
}
bool AsksHelp(const std::vector<std::string>& words) {
  return std::any_of(words.begin(), words.end(), IsHelp);
}

// Splits "--opt value" and "--opt=value" options from positional words.
class CArguments {
 public:
  CArguments(const std::vector<std::string>& words, const std::vector<std::string>& valued) {
    for (std::size_t i = 0; i < words.size(); ++i) {
      const std::string& w = words[i];
      if (w.rfind("--", 0) != 0 || w == "--") {
        m_positional.push_back(w);
        continue;
      }
      const std::size_t eq = w.find('=');
      const std::string name = w.substr(0, eq);
      if (std::find(valued.begin(), valued.end(), name) == valued.end()) {
        throw UsageError{"unknown option '" + name + "'"};
      }
      if (eq != std::string::npos) {
        m_values.emplace_back(name, w.substr(eq + 1));
      } else if (i + 1 < words.size()) {
        m_values.emplace_back(name, words[++i]);
      } else {
        throw UsageError{"option '" + name + "' needs a value"};
      }
    }
  }

  std::optional<std::string> Value(const std::string& name) const {
    std::optional<std::string> found;
    for (const auto& [n, v] : m_values) {
      if (n == name) {
        found = v;
      }
    }
    return found;
  }
  const std::vector<std::string>& Positional() const { return m_positional; }

 private:
  std::vector<std::pair<std::string, std::string>> m_values;
  std::vector<std::string> m_positional;
};

int ParseInt(const std::string& option, const std::string& text, int low, int high) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) {
    throw UsageError{option + ": '" + text + "' is not a whole number"};
  }
  if (value < low || value > high) {
    throw UsageError{option + ": " + text + " is outside " + std::to_string(low) + ".." + std::to_string(high)};
  }
  return value;
}

float ParseScale(const std::string& text) {
  std::size_t used = 0;
  float value = 0;
  try {
    value = std::stof(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != text.size() || !std::isfinite(value)) {
    throw UsageError{"--scale: '" + text + "' is not a number"};
  }
  if (value < CImageEditor::kMinScale || value > CImageEditor::kMaxScale) {
    throw UsageError{"--scale: " + text + " is outside 0.05..10"};
  }
  return value;
}

CTargetFrame::Position ParseFrame(const std::string& text) {
  const std::size_t comma = text.find(',');
  if (comma == std::string::npos) {
    throw UsageError{"--frame: '" + text + "' is not X,Y"};
  }
  constexpr int kLimit = 1'000'000;
  return CTargetFrame::Position{ParseInt("--frame", text.substr(0, comma), -kLimit, kLimit),
                                ParseInt("--frame", text.substr(comma + 1), -kLimit, kLimit)};
}

struct EncodeOptions {
  PictureKind kind = PictureKind::Wallpaper;
  std::string name;
  float scale = 1.0f;
  int rotation = 0;
  int contrast = 0, brightness = 0, red = 0, green = 0, blue = 0;
  CTargetFrame::Position frame;
  std::string input, output;
};

EncodeOptions ParseEncode(const std::vector<std::string>& words) {
  const CArguments args(words, {"--kind", "--name", "--scale", "--rotate", "--contrast", "--brightness", "--red",
                                "--green", "--blue", "--frame"});
  EncodeOptions o;
  const std::optional<std::string> kind = args.Value("--kind");
  if (!kind) {
    throw UsageError{"--kind is required"};
  }
  if (*kind == "wallpaper") {
    o.kind = PictureKind::Wallpaper;
  } else if (*kind == "picture-id") {
    o.kind = PictureKind::PictureId;
  } else {
    throw UsageError{"--kind: '" + *kind + "' is neither wallpaper nor picture-id"};
  }
  const std::optional<std::string> name = args.Value("--name");
  if (!name) {
    throw UsageError{"--name is required"};
  }
  o.name = *name;
  if (const auto v = args.Value("--scale")) {
    o.scale = ParseScale(*v);
  }
  if (const auto v = args.Value("--rotate")) {
    const int degrees = ParseInt("--rotate", *v, -270, 270);
    if (degrees % 90 != 0) {
      throw UsageError{"--rotate: " + *v + " is not a multiple of 90"};
    }
    o.rotation = degrees * 100;
  }
  const auto tone = [&args](const char* option, int& target) {
    if (const auto v = args.Value(option)) {
      target = ParseInt(option, *v, -1000, 1000);
    }
  };
  tone("--contrast", o.contrast);
  tone("--brightness", o.brightness);
  tone("--red", o.red);
  tone("--green", o.green);
  tone("--blue", o.blue);
  if (const auto v = args.Value("--frame")) {
    o.frame = ParseFrame(*v);
  }
  if (args.Positional().size() != 2) {
    throw UsageError{"expected IN and OUT.rec"};
  }
  o.input = args.Positional()[0];
  o.output = args.Positional()[1];
  return o;
}

int Encode(const std::vector<std::string>& words) {
  if (AsksHelp(words)) {
    std::fputs(kEncodeHelp, stdout);
    return kCliOk;
  }
  EncodeOptions o;
  try {
    o = ParseEncode(words);
  } catch (const UsageError& e) {
    return Usage("encode", e.text);
  }
  if (!CPictureName::IsValid(o.name)) {
    return Failed("name '" + o.name + "'", CPictureName::kRefusedText);
  }
  CImageEditor editor;
  std::string error;
  if (!editor.Load(o.input, &error)) {
    return Failed(o.input, std::string(kOpenFailedText) + ": " + error);
  }
  editor.SetRed(o.red);
  editor.SetGreen(o.green);
  editor.SetBlue(o.blue);
  editor.SetContrast(o.contrast);
  editor.SetBrightness(o.brightness);
  editor.SetRotation(o.rotation);
  if (!editor.SetScale(o.scale)) {
    return Failed(o.input, "the image would be too large at scale " + std::to_string(o.scale));
  }
  const PictureSize target = TargetSize(o.kind);
  const PictureSize shown{editor.Display().Width(), editor.Display().Height()};
  const CTargetFrame::Position frame = CTargetFrame::Clamp(o.frame, target, shown);
  const auto record = CPictureRecord::Encode(o.kind, o.name, editor.SendPreview(frame, target));
  if (!record) {
    return Failed(o.input, "the picture could not be encoded");
  }
  CAtomicFile file(o.output);
  if (!file.IsOpen() || !file.Write(record->data(), record->size()) || !file.Commit()) {
    return Failed(o.output, std::string("cannot write the record: ") + std::strerror(errno));
  }
  std::printf("%s: %s '%s', %zu bytes, frame at %d,%d of the %d x %d adjusted image\n", o.output.c_str(),
              o.kind == PictureKind::Wallpaper ? "wallpaper" : "picture ID", o.name.c_str(), record->size(), frame.x,
              frame.y, shown.width, shown.height);
  return kCliOk;
}

// Reads a record, checking its size before reading any byte of it.
std::optional<std::vector<std::uint8_t>> ReadRecord(const std::string& path, std::string& error) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) {
    error = ec.message();
    return std::nullopt;
  }
  if (!KindOfRecordSize(size)) {
    error = "not a handset picture record (" + std::to_string(size) + " bytes; a wallpaper has " +
            std::to_string(RecordSize(PictureKind::Wallpaper)) + ", a picture ID " +
            std::to_string(RecordSize(PictureKind::PictureId)) + ")";
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())) ||
      in.peek() != std::char_traits<char>::eof()) {
    error = "the file changed while it was read";
    return std::nullopt;
  }
  return bytes;
}

struct OutputFile {
  std::string path;
  std::optional<std::string> content;
};

bool SamePath(const std::string& a, const std::string& b) {
  std::error_code ec;
  const std::filesystem::path first = std::filesystem::absolute(a, ec).lexically_normal();
  const std::filesystem::path second = std::filesystem::absolute(b, ec).lexically_normal();
  return first == second || std::filesystem::equivalent(a, b, ec);
}

// What a target held before it was replaced, so that it can be put back: a hard link to
// the earlier file (a copy where links are not possible), removed when no longer needed.
class CEarlierFile {
 public:
  bool Keep(const std::filesystem::path& target, const std::filesystem::path& spare) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(target, ec)) {
      return true;  // nothing there to keep (a directory makes the rename fail anyway)
    }
    std::filesystem::create_hard_link(target, spare, ec);
    if (ec) {
      ec.clear();
      std::filesystem::copy_file(target, spare, ec);
    }
    if (ec) {
      errno = ec.value();
      return false;
    }
    m_target = target;
    m_spare = spare;
    return true;
  }
  // Puts the earlier file back, or removes the new one where there was none.
  void Restore(const std::filesystem::path& target) {
    std::error_code ec;
    if (m_spare.empty()) {
      std::filesystem::remove(target, ec);
      return;
    }
    std::filesystem::rename(m_spare, m_target, ec);
    m_spare.clear();
  }
  ~CEarlierFile() {
    if (!m_spare.empty()) {
      std::error_code ec;
      std::filesystem::remove(m_spare, ec);
    }
  }

 private:
  std::filesystem::path m_target;
  std::filesystem::path m_spare;
};

// Writes every file or none: all are complete in temporary files before any replaces its
// target, and targets already replaced get their earlier content back when a later one
// cannot be put in place. On failure failedPath names the file that could not be written.
bool WriteAll(const std::vector<OutputFile>& files, std::string& failedPath, std::string& error) {
  std::vector<std::unique_ptr<CAtomicFile>> writers;
  for (const OutputFile& file : files) {
    writers.push_back(std::make_unique<CAtomicFile>(file.path));
    if (!writers.back()->IsOpen() || !writers.back()->Write(*file.content)) {
      failedPath = file.path;
      error = std::string("cannot write the file: ") + std::strerror(errno);
      return false;
    }
  }
  std::vector<CEarlierFile> earlier(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::filesystem::path spare = writers[i]->TemporaryPath().string() + ".earlier";
    if (!earlier[i].Keep(files[i].path, spare) || !writers[i]->Commit()) {
      failedPath = files[i].path;
      error = std::string("cannot write the file: ") + std::strerror(errno);
      for (std::size_t done = 0; done < i; ++done) {
        earlier[done].Restore(files[done].path);
      }
      return false;
    }
  }
  return true;
}

int Decode(const std::vector<std::string>& words) {
  if (AsksHelp(words)) {
    std::fputs(kDecodeHelp, stdout);
    return kCliOk;
  }
  std::optional<std::string> thumbnailPath;
  std::vector<std::string> positional;
  try {
    const CArguments args(words, {"--thumbnail"});
    thumbnailPath = args.Value("--thumbnail");
    positional = args.Positional();
  } catch (const UsageError& e) {
    return Usage("decode", e.text);
  }
  if (positional.size() != 2) {
    return Usage("decode", "expected IN.rec and OUT");
  }
  const std::string& input = positional[0];
  const std::string& output = positional[1];
  if (thumbnailPath && SamePath(*thumbnailPath, output)) {
    return Usage("decode", "OUT and THUMB must be different files");
  }
  const auto format = CImageFile::FormatFromPath(output);
  const auto thumbnailFormat = thumbnailPath ? CImageFile::FormatFromPath(*thumbnailPath) : format;
  if (!format || !thumbnailFormat) {
    return Usage("decode", "the output's extension must be .bmp, .jpg, .jpeg, .png, .tif or .tiff");
  }
  std::string error;
  const auto bytes = ReadRecord(input, error);
  if (!bytes) {
    return Failed(input, error);
  }
  const auto decoded = CPictureRecord::Decode(*bytes);
  if (!decoded) {
    return Failed(input, "not a handset picture record");
  }
  std::vector<OutputFile> files{{output, CImageFile::Encode(decoded->picture, *format, &error)}};
  if (!files.back().content) {
    return Failed(output, std::string(kSaveFailedText) + ": " + error);
  }
  if (thumbnailPath) {
    files.push_back({*thumbnailPath, CImageFile::Encode(decoded->thumbnail, *thumbnailFormat, &error)});
    if (!files.back().content) {
      return Failed(*thumbnailPath, std::string(kSaveFailedText) + ": " + error);
    }
  }
  std::string failedPath;
  if (!WriteAll(files, failedPath, error)) {
    return Failed(failedPath, std::string(kSaveFailedText) + ": " + error);
  }
  std::printf("%s: %s '%s', %d x %d\n", output.c_str(),
              decoded->kind == PictureKind::Wallpaper ? "wallpaper" : "picture ID", decoded->name.c_str(),
              decoded->picture.Width(), decoded->picture.Height());
  return kCliOk;
}

int RunPicture(const std::vector<std::string>& args) {
  // Image decoders' own warnings (colour profiles and the like) are not results and not
  // failures: keep standard error for the one line that explains a failure.
  QLoggingCategory::setFilterRules("qt.gui.imageio*=false");
  if (args.empty()) {
    std::fputs(kAreaHelp, stderr);
    return kCliUsage;
  }
  if (IsHelp(args[0]) || args[0] == "help") {
    std::fputs(kAreaHelp, stdout);
    return kCliOk;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "encode") {
    return Encode(rest);
  }
  if (args[0] == "decode") {
    return Decode(rest);
  }
  std::fprintf(stderr, "orvane-cli picture: unknown verb '%s'\n", args[0].c_str());
  std::fputs(kAreaHelp, stderr);
  return kCliUsage;
}

const CCliArea kPictureArea("picture", "handset picture records: encode from and decode to image files", RunPicture);

}  // namespace
