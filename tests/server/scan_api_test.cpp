// Scanning from a phone: the scan session driven through the running server
// on the simulated camera's document scene, from the first page to the
// downloaded document, and the requests that must not take a page.
#include <fstream>
#include <regex>
#include <set>
#include <thread>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "../scan/scan_test_support.h"
#include "app/scan_controller.h"
#include "http_client.h"
#include "server_fixture.h"
#include "sim/document_scene.h"

namespace {

using namespace std::chrono_literals;

QJsonObject Json(const HttpReply& reply) {
  return QJsonDocument::fromJson(QByteArray::fromStdString(reply.body)).object();
}

bool HasHeader(const std::string& headers, const std::string& line) {
  return QString::fromStdString(headers).toLower().contains(QString::fromStdString(line).toLower() + "\r\n");
}

class ScanApiTest : public ServerTest {
 protected:
  void SetUp() override { ASSERT_TRUE(m_work.isValid()); }

  void StartOnTheDocument(const std::string& folder, server::CameraServerOptions options = {}) {
    m_presenter.captureDir = folder;
    Start(std::move(options), {.documentScene = true});
  }

  std::string Folder() const { return (m_work.path() + "/pages").toStdString(); }

  HttpReply Post(const std::string& action, const std::vector<std::string>& headers = {}) {
    return Client([&] { return Fetch("POST", Url("/api/scan/" + action), {}, headers); });
  }

  // Polls as the page does until the document is no longer waited for.
  QJsonObject WaitUntilFinished(const std::vector<std::string>& headers = {}) {
    return Client([&] {
      QJsonObject state;
      for (const auto end = std::chrono::steady_clock::now() + 120s; std::chrono::steady_clock::now() < end;) {
        state = Json(Fetch("GET", Url("/api/scan"), {}, headers));
        if (!state.value("finishing").toBool(true)) break;
        std::this_thread::sleep_for(200ms);
      }
      return state;
    });
  }

  QTemporaryDir m_work;
};

TEST_F(ScanApiTest, APhoneScansAStackIntoOneSearchableDocument) {
  StartOnTheDocument(Folder());
  const HttpReply none = Client([&] { return Fetch("GET", Url("/scan/latest.pdf")); });
  EXPECT_EQ(none.status, 404);
  EXPECT_TRUE(Json(none).contains("error")) << none.body;

  for (int page = 1; page <= 3; ++page) {
    const HttpReply added = Post("page");
    ASSERT_EQ(added.status, 200) << added.body;
    EXPECT_TRUE(Json(added).value("ok").toBool());
    EXPECT_EQ(Json(added).value("pages").toInt(), page);
  }
  const HttpReply undone = Post("undo");
  ASSERT_EQ(undone.status, 200) << undone.body;
  EXPECT_EQ(Json(undone).value("pages").toInt(), 2);

  const HttpReply state = Client([&] { return Fetch("GET", Url("/api/scan")); });
  EXPECT_EQ(state.contentType, "application/json");
  EXPECT_TRUE(HasHeader(state.headers, "Cache-Control: no-store"));
  const std::set<QString> names = {"waiting", "straightening", "reading text", "done", "failed"};
  const QJsonArray states = Json(state).value("states").toArray();
  ASSERT_EQ(states.size(), 2) << state.body;
  for (const auto& page : states) EXPECT_TRUE(names.contains(page.toString())) << state.body;
  EXPECT_EQ(m_frame->ScanController()->PageCount(), 2) << "the desktop's strip holds the same pages";

  const HttpReply finish = Post("finish");
  ASSERT_EQ(finish.status, 202) << finish.body;
  EXPECT_TRUE(Json(finish).value("finishing").toBool()) << finish.body;
  const QJsonObject finished = WaitUntilFinished();
  ASSERT_FALSE(finished.value("finishing").toBool(true)) << "the document was never written";
  EXPECT_TRUE(finished.value("finish_error").isNull()) << finished.value("finish_error").toString().toStdString();
  EXPECT_EQ(finished.value("pages").toInt(), 0);
  const std::string name = finished.value("document").toString().toStdString();
  EXPECT_TRUE(std::regex_match(name, std::regex(R"(TAVROCAM_\d{8}_\d{6}\.pdf)"))) << name;

  const HttpReply pdf = Client([&] { return Fetch("GET", Url("/scan/latest.pdf")); });
  ASSERT_EQ(pdf.status, 200) << pdf.body.substr(0, 200);
  EXPECT_EQ(pdf.contentType, "application/pdf");
  EXPECT_TRUE(HasHeader(pdf.headers, "Content-Disposition: inline; filename=\"" + name + "\"")) << pdf.headers;
  EXPECT_TRUE(HasHeader(pdf.headers, "X-Content-Type-Options: nosniff")) << pdf.headers;
  QFile onDisk(QString::fromStdString(Folder() + "/" + name));
  ASSERT_TRUE(onDisk.open(QIODevice::ReadOnly));
  EXPECT_TRUE(onDisk.readAll().toStdString() == pdf.body) << "the download is the file in the capture folder";

  const std::string downloaded = (m_work.path() + "/downloaded.pdf").toStdString();
  std::ofstream(downloaded, std::ios::binary) << pdf.body;
  const scan_test::RunResult pages = scan_test::Run("qpdf", {"--show-npages", downloaded});
  EXPECT_EQ(pages.output, "2\n");
  const scan_test::RunResult text = scan_test::Run("pdftotext", {"-f", "2", "-l", "2", downloaded, "-"});
  EXPECT_GE(scan_test::WordAccuracy(sim::DocumentSceneWords(), text.output), 0.9) << text.output;

  const HttpReply head = Client([&] { return Fetch("HEAD", Url("/scan/latest.pdf")); });
  EXPECT_EQ(head.status, 200);
  EXPECT_TRUE(head.body.empty());
}

TEST_F(ScanApiTest, OnlyThePageTakesPagesAndARefusedFolderIsReported) {
  const std::string token = "scan-token-0123456789";
  server::CameraServerOptions options;
  options.token = token;
  StartOnTheDocument("/proc/tavrocam-pages", options);  // no one can make a folder here
  const std::string bearer = "Authorization: Bearer " + token;
  const std::string other = "Origin: http://127.0.0.1:" + std::to_string(Port() == 9 ? 10 : 9);
  for (const std::vector<std::string>& hostile : std::vector<std::vector<std::string>>{
           {bearer, "X-Tavrocam:"},
           {bearer, "X-Tavrocam:", other, "Sec-Fetch-Site: cross-site", "Content-Type: text/plain"},
           {bearer, other},
           {bearer, "Sec-Fetch-Site: same-site"},
       }) {
    for (const char* action : {"page", "finish"}) {
      const HttpReply refused = Post(action, hostile);
      EXPECT_EQ(refused.status, 403) << action << " " << hostile.back();
      EXPECT_TRUE(Json(refused).contains("error")) << refused.body;
    }
  }
  EXPECT_EQ(Post("page").status, 401) << "no token";
  const HttpReply byGet = Client([&] { return Fetch("GET", Url("/api/scan/page"), {}, {bearer}); });
  EXPECT_EQ(byGet.status, 405);
  EXPECT_TRUE(HasHeader(byGet.headers, "Allow: POST")) << byGet.headers;
  EXPECT_EQ(m_frame->ScanController()->PageCount(), 0) << "a refused request took a page";
  EXPECT_EQ(Post("undo", {bearer}).status, 409);
  EXPECT_EQ(Post("finish", {bearer}).status, 409);

  ASSERT_EQ(Post("page", {bearer}).status, 200);
  ASSERT_EQ(Post("finish", {bearer}).status, 202);
  const QJsonObject failed = WaitUntilFinished({bearer});
  EXPECT_TRUE(failed.value("finish_error").toString().startsWith("Cannot write"))
      << QJsonDocument(failed).toJson().toStdString();
  EXPECT_EQ(failed.value("pages").toInt(), 1) << "the page stays for another try";
  EXPECT_TRUE(failed.value("document").isNull());
  EXPECT_EQ(Client([&] { return Fetch("GET", Url("/scan/latest.pdf"), {}, {bearer}); }).status, 404);
}

}  // namespace
