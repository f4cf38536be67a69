// Message boxes driven for real under the offscreen platform.
#include "ui/Message.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <map>

namespace {

std::map<std::int32_t, std::string> Texts() {
  return {
      {701, "Do you want to exit?"},
      {715, "Are you sure you want to erase '%s' from the handset?"},
      {730, "First line\\nSecond line (730)"},
      {726, "Send %s of %s entries?"},
  };
}

CMessage::TextLookup Lookup() {
  return [texts = Texts()](std::int32_t id) {
    const auto it = texts.find(id);
    return it == texts.end() ? std::string() : it->second;
  };
}

QMessageBox* OpenBox() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) {
      return box;
    }
  }
  return nullptr;
}

// Runs `action` on the box once it is on screen.
void WhenBoxShows(std::function<void(QMessageBox*)> action) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    if (QMessageBox* box = OpenBox()) {
      timer->stop();
      timer->deleteLater();
      action(box);
    }
  });
  timer->start();
}

}  // namespace

class MessageTest : public QObject {
  Q_OBJECT

 private slots:
  void formatsArgumentsAndLineBreaks() {
    QCOMPARE(CMessage::FormatText("erase '%s'?", {"abc"}), std::string("erase 'abc'?"));
    QCOMPARE(CMessage::FormatText("erase '%s'?", {}), std::string("erase ''?"));
    QCOMPARE(CMessage::FormatText("%s of %s", {"1"}), std::string("1 of "));
    QCOMPARE(CMessage::FormatText("%s", {"100%s"}), std::string("100%s"));
    QCOMPARE(CMessage::FormatText("a\\nb\\nc", {}), std::string("a\nb\nc"));
  }

  void showsCaptionTextAndButtons() {
    CMessage message(Lookup());
    QString shownText;
    QString caption;
    WhenBoxShows([&](QMessageBox* box) {
      shownText = box->text();
      caption = box->windowTitle();
      QCOMPARE(box->icon(), QMessageBox::Question);
      box->button(QMessageBox::Yes)->click();
    });
    const int result = message.ShowMsg(715, MB_YESNO | MB_ICONQUESTION, {"abc"});
    QCOMPARE(result, int(IDYES));
    QCOMPARE(shownText, QString("Are you sure you want to erase 'abc' from the handset?"));
    QCOMPARE(caption, QString("ORVANE    "));

    WhenBoxShows([&](QMessageBox* box) {
      shownText = box->text();
      box->button(QMessageBox::Ok)->click();
    });
    QCOMPARE(message.ShowMsg(730, MB_OK | MB_ICONSTOP), int(IDOK));
    QCOMPARE(shownText, QString("First line\nSecond line (730)"));
  }

  void testHookAnswersWithoutABox() {
    CMessage message(Lookup());
    std::vector<std::pair<std::int32_t, std::string>> seen;
    message.SetTestHook([&seen](std::int32_t number, std::uint32_t, const std::string& text) {
      seen.emplace_back(number, text);
      return number == 726 ? IDNO : IDOK;
    });
    QCOMPARE(message.ShowMsg(726, MB_YESNO, {"3", "7"}), static_cast<int>(IDNO));
    QCOMPARE(message.ShowMsg(730, MB_OK), static_cast<int>(IDOK));
    QVERIFY(OpenBox() == nullptr);
    QCOMPARE(seen.size(), std::size_t{2});
    QCOMPARE(seen[0].second, std::string("Send 3 of 7 entries?"));
    QCOMPARE(seen[1].second, std::string("First line\nSecond line (730)"));
    QCOMPARE(message.ShowMsg(999, MB_OK), 0);  // no text: no box, and the hook is not asked
    QCOMPARE(seen.size(), std::size_t{2});
  }

  void messageWithoutTextShowsNothing() {
    CMessage message(Lookup());
    QCOMPARE(message.ShowMsg(799, MB_OK), 0);
    QVERIFY(OpenBox() == nullptr);
  }

  void delMsgGivesTheEmulatedResult_data() {
    QTest::addColumn<uint>("style");
    QTest::addColumn<int>("expected");
    QTest::newRow("yes/no -> no") << uint(MB_YESNO | MB_ICONQUESTION) << int(IDNO);
    QTest::newRow("ok -> ok") << uint(MB_OK | MB_ICONSTOP) << int(IDOK);
    QTest::newRow("ok/cancel -> cancel") << uint(MB_OKCANCEL | MB_ICONQUESTION) << int(IDCANCEL);
    QTest::newRow("yes/no/cancel -> cancel") << uint(MB_YESNOCANCEL | MB_ICONEXCLAMATION) << int(IDCANCEL);
  }

  void delMsgGivesTheEmulatedResult() {
    QFETCH(uint, style);
    QFETCH(int, expected);
    CMessage message(Lookup());
    WhenBoxShows([&](QMessageBox*) { message.DelMsg(nullptr); });
    QCOMPARE(message.ShowMsg(701, style), expected);
    QTRY_VERIFY(OpenBox() == nullptr);
  }

  void delMsgWithAnotherOwnerLeavesTheBox() {
    CMessage message(Lookup());
    QWidget owner;
    QWidget stranger;
    bool strangerTried = false;
    WhenBoxShows([&](QMessageBox* box) {
      message.DelMsg(&stranger);
      strangerTried = true;
      QVERIFY(box->isVisible());
      box->button(QMessageBox::Yes)->click();
    });
    QCOMPARE(message.ShowMsg(701, MB_YESNO, &owner), int(IDYES));
    QVERIFY(strangerTried);
  }

  // A second box while one is open closes the first, whose call reports its emulated result.
  void secondBoxClosesTheFirst() {
    CMessage message(Lookup());
    int second = -1;
    bool first = true;
    WhenBoxShows([&](QMessageBox*) {
      QVERIFY(first);
      first = false;
      WhenBoxShows([&](QMessageBox* box) {
        QCOMPARE(box->text(), QString("Do you want to exit?"));
        box->button(QMessageBox::Ok)->click();
      });
      second = message.ShowMsg(701, MB_OKCANCEL);
    });
    const int firstResult = message.ShowMsg(701, MB_YESNO);
    QCOMPARE(second, int(IDOK));
    QCOMPARE(firstResult, int(IDNO));
  }
};

QTEST_MAIN(MessageTest)
#include "MessageTest.moc"
