// The version-information dialog, run modally under the offscreen platform.
#include "UiTestSupport.h"
#include "ui/ControlId.h"
#include "ui/VersionDlg.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <map>

namespace {

CVersionDlg::TextLookup Texts(std::map<std::int32_t, std::string> texts) {
  return [texts = std::move(texts)](std::int32_t id) {
    const auto it = texts.find(id);
    return it == texts.end() ? std::string() : it->second;
  };
}

QString LabelText(const QWidget& dialog, int id) {
  const auto* label = qobject_cast<const QLabel*>(CControlId::Find(&dialog, id));
  return label != nullptr ? label->text() : QString();
}

QPushButton* OkButton(const QWidget& dialog) {
  return qobject_cast<QPushButton*>(CControlId::Find(&dialog, CVersionDlg::kOkId));
}

}  // namespace

class UiVersionDlgTest : public QObject {
  Q_OBJECT

 private slots:
  void showsTheVersionTextsOnTheSkinColour() {
    QWidget owner;
    CVersionDlg dialog(
        Texts({{1100, "About it"}, {1102, "Product"}, {1103, "Version 9"}, {1104, "Notice"}, {1105, "Fine"}}), &owner);
    QCOMPARE(dialog.windowTitle(), QString("About it"));
    QCOMPARE(LabelText(dialog, CVersionDlg::kProductId), QString("Product"));
    QCOMPARE(LabelText(dialog, CVersionDlg::kVersionId), QString("Version 9"));
    QCOMPARE(LabelText(dialog, CVersionDlg::kNoticeId), QString("Notice"));
    QCOMPARE(OkButton(dialog)->text(), QString("Fine"));
    const auto* icon = qobject_cast<QLabel*>(CControlId::Find(&dialog, CVersionDlg::kIconId));
    QVERIFY(icon != nullptr);
    QVERIFY(!icon->pixmap().isNull());
    QVERIFY(dialog.parentWidget() == &owner);

    const QImage shot = dialog.grab().toImage();
    QCOMPARE(QColor(shot.pixel(1, 1)), QColor(173, 207, 247));
    QCOMPARE(QColor(shot.pixel(shot.width() - 2, shot.height() - 2)), QColor(173, 207, 247));
  }

  void emptyTextsKeepTheBuiltInLabels() {
    CVersionDlg dialog(Texts({{1103, "Versão 1.0"}}), nullptr);
    QCOMPARE(dialog.windowTitle(), QString("About ORVANE USB Utility"));
    QCOMPARE(LabelText(dialog, CVersionDlg::kProductId), QString("ORVANE USB Utility"));
    QCOMPARE(LabelText(dialog, CVersionDlg::kVersionId), QString::fromUtf8("Versão 1.0"));
    QCOMPARE(OkButton(dialog)->text(), QString("OK"));
  }

  void runHoldsTheModalFlagUntilOk() {
    QWidget owner;
    owner.show();
    std::vector<bool> flags;
    CVersionDlg dialog(Texts({}), &owner, [&flags](bool modal) { flags.push_back(modal); });
    bool flagWhileShown = false;
    QTimer::singleShot(0, &dialog, [&] {
      flagWhileShown = !flags.empty() && flags.back();
      QVERIFY(dialog.isModal() || dialog.isVisible());
      OkButton(dialog)->click();
    });
    QCOMPARE(dialog.Run(), int(QDialog::Accepted));
    QVERIFY(flagWhileShown);
    QVERIFY(!flags.empty());
    QCOMPARE(flags.back(), false);
    QVERIFY(owner.isEnabled());
    QVERIFY(!dialog.isVisible());
  }

  // A box that came up for the same owner stays in front with the owner disabled.
  void okLeavesTheOwnerDisabledBehindItsMessageBox() {
    QWidget owner;
    owner.show();
    CVersionDlg dialog(Texts({}), &owner);
    QMessageBox box(QMessageBox::Warning, "ORVANE", "Something happened", QMessageBox::Ok, &owner);
    QTimer::singleShot(0, &dialog, [&] {
      box.show();
      OkButton(dialog)->click();
    });
    dialog.Run();
    QVERIFY(!owner.isEnabled());
    box.close();
    owner.setEnabled(true);  // what the message presenter does when its box closes

    // Without such a box the owner is usable again.
    QTimer::singleShot(0, &dialog, [&] { OkButton(dialog)->click(); });
    dialog.Run();
    QVERIFY(owner.isEnabled());
  }

  void screenshotsInEveryLanguage() {
    for (int language = 0; language < uitest::kLanguageCount; ++language) {
      uitest::ShippedLanguage texts(language);
      QVERIFY(texts.Loaded());
      CVersionDlg dialog(texts.Lookup(), nullptr);
      dialog.show();
      QVERIFY(QTest::qWaitForWindowExposed(&dialog));
      QCOMPARE(dialog.windowTitle(), QString::fromStdString(texts.Text(1100)));
      const QString name = QString::fromStdString(uitest::ShippedLanguage::Name(language));
      QVERIFY(uitest::SaveScreenshot(dialog, "version-" + name));
    }
  }
};

QTEST_MAIN(UiVersionDlgTest)
#include "UiVersionDlgTest.moc"
