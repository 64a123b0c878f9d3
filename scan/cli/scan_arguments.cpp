#include "scan/cli/scan_arguments.h"

#include <QCommandLineParser>

namespace scan_cli {

ParsedArguments ParseScanArguments(const QStringList& argv) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Straightens photographed pages, reads their text and writes one searchable PDF.");
  parser.addPositionalArgument("IMAGE", "A picture of a page (JPEG, PNG, BMP or PPM); one page each.", "IMAGE...");
  const QCommandLineOption output{{"o", "output"}, "The PDF to write (replaced when it exists).", "OUT.pdf"};
  const QCommandLineOption lang{"lang", "Text languages as the recogniser takes them (eng, eng+deu).", "L", "eng"};
  const QCommandLineOption look{"look", "colour, grey or bw.", "L", "colour"};
  const QCommandLineOption corners{"corners", "The page's corners in every picture, clockwise from top-left.",
                                   "x1,y1,x2,y2,x3,y3,x4,y4"};
  const QCommandLineOption whole{"whole", "Take each whole picture as the page."};
  const QCommandLineOption help{{"h", "help"}, "Shows this help."};
  parser.addOptions({output, lang, look, corners, whole, help});

  auto bad = [](const QString& text) { return ParsedArguments{std::nullopt, text.toStdString(), 2}; };
  if (!parser.parse(argv)) return bad(parser.errorText());
  if (parser.isSet(help)) return {std::nullopt, parser.helpText().toStdString(), 0};

  ScanArguments result;
  for (const QString& image : parser.positionalArguments()) result.images.push_back(image.toStdString());
  if (result.images.empty()) return bad("No picture given");
  if (!parser.isSet(output) || parser.value(output).isEmpty()) return bad("No output file given (-o OUT.pdf)");
  result.output = parser.value(output).toStdString();
  result.languages = parser.value(lang).toStdString();
  const auto chosenLook = scan::ParseScanLook(parser.value(look).toStdString());
  if (!chosenLook) return bad("--look takes colour, grey or bw, not \"" + parser.value(look) + "\"");
  result.look = *chosenLook;
  if (parser.isSet(corners)) {
    result.corners = scan::ParseCorners(parser.value(corners).toStdString());
    if (!result.corners) return bad("--corners takes eight numbers separated by commas");
  }
  result.whole = parser.isSet(whole);
  if (result.whole && result.corners) return bad("--whole and --corners exclude each other");
  return {result, {}, 0};
}

}  // namespace scan_cli
