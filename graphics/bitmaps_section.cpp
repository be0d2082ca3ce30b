#include <string>
#include <string_view>

#include "core/format.h"
#include "graphics/picture_container.h"
#include "graphics/pictures.h"

namespace quorvex {

namespace {

/// The [Bitmaps] phase reports progress from 0 to this many percent.
constexpr long long kBitmapsProgressShare = 40;

/// The picture number in a picture file's name: the digits after "bm" up to the first other
/// character (none: 0). None when it exceeds what topics can refer to.
std::optional<size_t> PictureNumber(std::string_view name) {
  size_t number = 0;
  for (size_t i = 2; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i) {
    number = number * 10 + static_cast<size_t>(name[i] - '0');
    if (number > ExtractedPictureList::kMaxPictureNumber) return std::nullopt;
  }
  return number;
}

/// Records `picture` at `number`. With BmpInRtf a file that an earlier picture of the same
/// number left is deleted: nothing refers to it any more, and only listed files are deleted at
/// the end.
void Record(HelpFile& hf, size_t number, ExtractedPicture picture) {
  if (hf.option(kBmpInRtf)) {
    if (const ExtractedPicture* old = hf.extracted_pictures.Find(number);
        old && old->folder && (old->name != picture.name || old->folder != picture.folder))
      old->folder->Remove(old->name);
  }
  hf.extracted_pictures.Record(number, std::move(picture));
}

}  // namespace

OutputDir& PictureFolder(HelpFile& hf) {
  if (hf.option(kBmpInRtf) && hf.session->temp_folder) return *hf.session->temp_folder;
  return hf.session->output;
}

void WriteBitmapsSection(HelpFile& hf, OutputSink& project) {
  Diagnostics& diag = hf.diagnostics();
  OutputDir& folder = PictureFolder(hf);
  project.Write("\n[Bitmaps]\n");
  const size_t count = hf.internal_files.size();
  for (size_t i = 0; i < count && !hf.OutputBudgetSpent(); ++i) {
    const long long share = static_cast<long long>(i) * kBitmapsProgressShare;
    diag.Progress(static_cast<int>((share + static_cast<long long>(count) / 2) /
                                   static_cast<long long>(count)),
                  kPhaseConvertingBitmaps);
    const InternalFile& file = hf.internal_files[i];
    std::string_view name = file.name;
    if (name.starts_with('|')) name.remove_prefix(1);
    if (!name.starts_with("bm")) continue;
    const std::optional<size_t> number = PictureNumber(name);
    if (!number) {
      diag.Warning(kWarnPictureNumber, name);
      continue;
    }
    ExtractedPicture picture =
        ExtractPictureContainer(hf, hf.InternalData(file).data(), name, folder);
    project.Write(picture.name);
    project.Write("\n");
    Record(hf, *number, std::move(picture));
  }
}

std::optional<size_t> ExtractStoredPicture(HelpFile& hf, Bytes container) {
  const size_t number = hf.extracted_pictures.size();
  if (number > ExtractedPictureList::kMaxPictureNumber) {
    hf.diagnostics().Warning(kWarnPictureListFull);
    return std::nullopt;
  }
  const std::string name_base = FormatText("bmw%d", {number});
  Record(hf, number, ExtractPictureContainer(hf, container, name_base, PictureFolder(hf)));
  return number;
}

}  // namespace quorvex
