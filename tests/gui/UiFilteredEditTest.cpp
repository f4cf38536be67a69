// Typing into the filtered edits.
#include "ui/CharSetEdit.h"
#include "ui/FilteredEdit.h"
#include "ui/PhoneNumberEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QInputMethodEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

namespace {

void TypeText(QWidget* edit, const QString& text) {
  for (const QChar ch : text) {
    QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(ch), Qt::NoModifier);
  }
}

}  // namespace

class UiFilteredEditTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    m_beeps = 0;
    CFilteredEdit::SetBeepHook([this] { ++m_beeps; });
  }
  void cleanup() { CFilteredEdit::SetBeepHook(nullptr); }

  void phoneEditKeepsDialingCharacters() {
    CPhoneNumberEdit edit;
    QTest::keyClicks(&edit, "1*#P");
    QCOMPARE(edit.text(), QString("1*#P"));
    QCOMPARE(m_beeps, 0);
    QTest::keyClicks(&edit, "0123456789pfF");
    QCOMPARE(edit.text(), QString("1*#P0123456789pfF"));
    QCOMPARE(m_beeps, 0);
  }

  void phoneEditDropsEverythingElseWithABeep() {
    CPhoneNumberEdit edit;
    QTest::keyClicks(&edit, "12");
    for (const char* typed : {"-", ".", " ", "a", "+", "(", "w"}) {
      const int before = m_beeps;
      QTest::keyClicks(&edit, typed);
      QCOMPARE(edit.text(), QString("12"));
      QVERIFY2(m_beeps == before + 1, typed);
    }
    TypeText(&edit, QString::fromUtf8("\xC3\xA9"));  // é
    QCOMPARE(edit.text(), QString("12"));
    QCOMPARE(m_beeps, 8);
  }

  void charSetEditTakesOnlyItsSetAndTheFullStop() {
    CCharSetEdit edit;
    edit.SetAllowed(QString::fromUtf8("ABCabc \xC3\xA9"));
    QTest::keyClicks(&edit, "aB c");
    QCOMPARE(edit.text(), QString("aB c"));
    QTest::keyClicks(&edit, ".");
    QCOMPARE(edit.text(), QString("aB c."));
    QCOMPARE(m_beeps, 0);
    QTest::keyClicks(&edit, "x");
    QCOMPARE(edit.text(), QString("aB c."));
    QCOMPARE(m_beeps, 1);
    // A code of 128 or more never passes, even when the owner lists it.
    TypeText(&edit, QString::fromUtf8("\xC3\xA9"));
    QCOMPARE(edit.text(), QString("aB c."));
    QCOMPARE(m_beeps, 2);
    TypeText(&edit, QString(QChar(0x80)));
    QCOMPARE(m_beeps, 3);
    QCOMPARE(edit.text(), QString("aB c."));
  }

  void backspaceTabAndNavigationKeysWork() {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new CCharSetEdit(&window);
    auto* next = new CPhoneNumberEdit(&window);
    layout->addWidget(edit);
    layout->addWidget(next);
    edit->SetAllowed("abc");
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    edit->setFocus();
    QTest::keyClicks(edit, "abc");
    QTest::keyClick(edit, Qt::Key_Left);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), QString("ac"));
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_Delete);
    QCOMPARE(edit->text(), QString("c"));
    QTest::keyClick(edit, Qt::Key_Tab);
    QTRY_VERIFY(next->hasFocus());
    QCOMPARE(m_beeps, 0);
  }

  void clipboardShortcutsAndSelectAll() {
    CCharSetEdit edit;
    edit.SetAllowed("abc");
    QTest::keyClicks(&edit, "abc");
    QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(edit.selectedText(), QString("abc"));
    QCOMPARE(edit.cursorPosition(), 3);
    QTest::keyClick(&edit, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString("abc"));
    QTest::keyClick(&edit, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(edit.text(), QString());
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit.text(), QString("abcabc"));
    QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(edit.text(), QString("abc"));
    QCOMPARE(m_beeps, 0);

    CPhoneNumberEdit phone;
    QApplication::clipboard()->setText("123");
    QTest::keyClick(&phone, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(phone.text(), QString("123"));
    QTest::keyClick(&phone, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(phone.selectedText(), QString("123"));
  }

  // The shortcuts go by key position: the key at the place of V pastes whatever it types.
  void shortcutsFollowTheKeyPosition() {
    CPhoneNumberEdit phone;
    QApplication::clipboard()->setText("42");
    const bool xkb = QGuiApplication::platformName() == "xcb" || QGuiApplication::platformName().startsWith("wayland");
    const quint32 scanV = xkb ? 47 + 8 : 47;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Q, Qt::ControlModifier, scanV, 0, 0, QString(QChar(0x11)));
    QApplication::sendEvent(&phone, &press);
    QCOMPARE(phone.text(), QString("42"));
    QCOMPARE(m_beeps, 0);
  }

  // Characters composed by an input method pass the same filter as typed ones.
  void composedTextIsFilteredToo() {
    CPhoneNumberEdit phone;
    QInputMethodEvent compose;
    compose.setCommitString(QString::fromUtf8("1\xC3\xA9#"));
    QApplication::sendEvent(&phone, &compose);
    QCOMPARE(phone.text(), QString("1#"));
    QCOMPARE(m_beeps, 1);

    CCharSetEdit name;
    name.SetAllowed("ab");
    QInputMethodEvent plain;
    plain.setCommitString("ab");
    QApplication::sendEvent(&name, &plain);
    QCOMPARE(name.text(), QString("ab"));
    QCOMPARE(m_beeps, 1);
  }

  // Enter still reaches the dialog's default button.
  void enterReachesTheDialog() {
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* edit = new CPhoneNumberEdit(&dialog);
    auto* ok = new QPushButton("OK", &dialog);
    ok->setDefault(true);
    layout->addWidget(edit);
    layout->addWidget(ok);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    edit->setFocus();
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(accepted.count(), 1);
    QCOMPARE(m_beeps, 0);
  }

 private:
  int m_beeps = 0;
};

QTEST_MAIN(UiFilteredEditTest)
#include "UiFilteredEditTest.moc"
