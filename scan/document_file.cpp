#include "scan/document_file.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

#include "output/pending_file.h"

namespace scan {
namespace {

std::string PdfDate(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  // qpdf counts the zone in minutes behind UTC.
  const QUtil::QPDFTime time(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                             local.tm_sec, static_cast<int>(-local.tm_gmtoff / 60));
  return QUtil::qpdf_time_to_pdf_time(time);
}

// A photographed page's JPEG data still holds some redundancy that deflate
// takes out; readers undo the two filters in turn, the picture stays exactly
// the same.
void DeflatePageJpegs(QPDFPageObjectHelper& page) {
  for (auto& [name, image] : page.getImages()) {
    QPDFObjectHandle filter = image.getDict().getKey("/Filter");
    if (!filter.isNameAndEquals("/DCTDecode")) continue;
    const std::shared_ptr<Buffer> jpeg = image.getRawStreamData();
    Pl_Buffer packed("packed page jpeg");
    Pl_Flate deflate("deflate page jpeg", &packed, Pl_Flate::a_deflate);
    deflate.write(jpeg->getBuffer(), jpeg->getSize());
    deflate.finish();
    std::shared_ptr<Buffer> smaller = packed.getBufferSharedPointer();
    if (smaller->getSize() >= jpeg->getSize()) continue;
    image.replaceStreamData(smaller, QPDFObjectHandle::parse("[/FlateDecode /DCTDecode]"), QPDFObjectHandle::newNull());
  }
}

// Writes the joined document to `path`; empty on success, else why.
std::string JoinPages(const std::vector<std::string>& pagePdfs, const std::string& path, const std::string& title,
                      std::time_t created) {
  if (pagePdfs.empty()) return "No pages to write";
  try {
    QPDF document;
    document.setSuppressWarnings(true);
    document.emptyPDF();
    QPDFPageDocumentHelper pages(document);
    // The page files stay open until the document is written: their pages are
    // copied from them lazily.
    std::vector<std::unique_ptr<QPDF>> sources;
    for (const std::string& pagePdf : pagePdfs) {
      auto source = std::make_unique<QPDF>();
      source->setSuppressWarnings(true);
      source->processFile(pagePdf.c_str());
      for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(*source).getAllPages()) pages.addPage(page, false);
      sources.push_back(std::move(source));
    }
    for (QPDFPageObjectHelper& page : pages.getAllPages()) DeflatePageJpegs(page);
    QPDFObjectHandle info = document.makeIndirectObject(QPDFObjectHandle::newDictionary());
    info.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(title));
    info.replaceKey("/CreationDate", QPDFObjectHandle::newString(PdfDate(created)));
    info.replaceKey("/Producer", QPDFObjectHandle::newString("Tavrocam"));
    document.getTrailer().replaceKey("/Info", info);
    QPDFWriter writer(document, path.c_str());
    // Object streams pack the many small objects (fonts, text, page dictionaries) of the joined pages.
    writer.setObjectStreamMode(qpdf_o_generate);
    writer.setStreamDataMode(qpdf_s_compress);
    writer.write();
  } catch (const std::exception& e) {
    return std::string("The document could not be written: ") + e.what();
  }
  return {};
}

std::string CannotCreateText(const std::string& folder) {
  return "Cannot write a file in " + (folder.empty() ? std::string(".") : folder);
}

}  // namespace

std::string DocumentBaseName(std::time_t localTime) {
  std::tm local{};
  localtime_r(&localTime, &local);
  char name[64];
  std::snprintf(name, sizeof name, "TAVROCAM_%04d%02d%02d_%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return name;
}

std::string DocumentFileName(const std::string& baseName, int attempt) {
  return attempt <= 1 ? baseName + ".pdf" : baseName + "_" + std::to_string(attempt) + ".pdf";
}

DocumentResult WriteDocument(const std::vector<std::string>& pagePdfs, const std::string& folder,
                             const std::string& baseName, const std::string& title, std::time_t created) {
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  PendingFile file(folder + "/" + DocumentFileName(baseName, 1));
  if (file.Create() != StillError::kNone) return {CannotCreateText(folder), {}};
  file.CloseDescriptor();
  if (std::string error = JoinPages(pagePdfs, file.TempPath(), title, created); !error.empty()) return {error, {}};
  std::string committed;
  const StillError e =
      file.CommitAsNew([&](int attempt) { return folder + "/" + DocumentFileName(baseName, attempt); }, &committed);
  if (e != StillError::kNone) return {std::string(StillErrorText(e)), {}};
  return {{}, committed};
}

DocumentResult WriteDocumentTo(const std::vector<std::string>& pagePdfs, const std::string& path,
                               const std::string& title, std::time_t created) {
  PendingFile file(path);
  if (file.Create() != StillError::kNone) return {CannotCreateText(std::filesystem::path(path).parent_path()), {}};
  file.CloseDescriptor();
  if (std::string error = JoinPages(pagePdfs, file.TempPath(), title, created); !error.empty()) return {error, {}};
  if (const StillError e = file.Commit(); e != StillError::kNone) return {std::string(StillErrorText(e)), {}};
  return {{}, path};
}

}  // namespace scan
