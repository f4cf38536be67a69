#include "melody/WaveFileDialog.h"

#include "framework/AppContext.h"
#include "melody/FormatConversion.h"
#include "melody/MelodyException.h"
#include "melody/PlayWave.h"
#include "ui/Message.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <cstdio>

namespace {

constexpr int kValueIds[5] = {CWaveFileDialog::kSize, CWaveFileDialog::kRate, CWaveFileDialog::kWidth,
                              CWaveFileDialog::kChannels, CWaveFileDialog::kDuration};

}  // namespace

CWaveFileDialog::CWaveFileDialog(QWidget* parent, CAppContext* context)
    : QFileDialog(parent), m_context(context), m_player(new CPlayWave(this)) {
  setOption(QFileDialog::DontUseNativeDialog, true);
  setFileMode(QFileDialog::ExistingFile);
  setAcceptMode(QFileDialog::AcceptOpen);
  setDefaultSuffix(QStringLiteral("wav"));
  const QString name = Text(kFilterName).isEmpty() ? QStringLiteral("Wav Files") : Text(kFilterName);
  setNameFilter(name + QStringLiteral(" (*.wav)"));
  if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
    grid->addWidget(BuildPanel(), grid->rowCount(), 0, 1, grid->columnCount());
  }
  connect(this, &QFileDialog::currentChanged, this, &CWaveFileDialog::OnFileNameChange);
  // The name box follows the list's selection and takes typed names: describe what it names.
  if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
    connect(name, &QLineEdit::textChanged, this, [this](const QString& text) {
      OnFileNameChange(text.isEmpty() ? QString() : directory().absoluteFilePath(text));
    });
  }
  connect(m_player, &CPlayWave::playEnded, this, &CWaveFileDialog::OnPlayEnd);
  ClearPanel();
}

CWaveFileDialog::~CWaveFileDialog() = default;

QWidget* CWaveFileDialog::BuildPanel() {
  auto* group = new QGroupBox(Text(kGroup), this);
  auto* grid = new QGridLayout(group);
  grid->addWidget(new QLabel(Text(kSizeLabel), group), 0, 0);
  grid->addWidget(new QLabel(Text(kPropertyLabel), group), 1, 0);
  grid->addWidget(new QLabel(Text(kTimeLabel), group), 2, 0);
  for (int i = 0; i < 5; ++i) {
    m_values[i] = new QLabel(group);
    m_values[i]->setObjectName(QString::number(kValueIds[i]));
    m_values[i]->setMinimumWidth(70);
  }
  grid->addWidget(m_values[0], 0, 1);
  grid->addWidget(m_values[1], 1, 1);
  grid->addWidget(m_values[2], 1, 2);
  grid->addWidget(m_values[3], 1, 3);
  grid->addWidget(m_values[4], 2, 1);
  m_play = new QPushButton(Text(kPlay), group);
  m_left = new QRadioButton(Text(kLeft), group);
  m_right = new QRadioButton(Text(kRight), group);
  m_left->setChecked(true);
  grid->addWidget(m_play, 0, 4);
  grid->addWidget(m_left, 1, 4);
  grid->addWidget(m_right, 2, 4);
  grid->setColumnStretch(3, 1);
  connect(m_play, &QPushButton::clicked, this, &CWaveFileDialog::OnPlayAndStop);
  return group;
}

QString CWaveFileDialog::Text(int id) const {
  return m_context != nullptr ? QString::fromStdString(m_context->GetString(id)) : QString();
}

QString CWaveFileDialog::Formatted(int id, std::uint32_t value) const {
  QString format = Text(id);
  static const QRegularExpression number(QStringLiteral("%0*u"));
  format.replace(number, QString::number(value));
  return format;
}

QString CWaveFileDialog::DurationText(std::uint32_t seconds) {
  char text[32];
  if (seconds < 3600) {
    std::snprintf(text, sizeof text, "%02u:%02u", seconds / 60, seconds % 60);
  } else {
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
  }
  return QString::fromLatin1(text);
}

int CWaveFileDialog::ShowMsg(std::int32_t number, std::uint32_t style) {
  if (m_context == nullptr || m_context->message == nullptr) {
    return 0;
  }
  return m_context->message->ShowMsg(number, style, this);
}

QString CWaveFileDialog::ValueText(int id) const {
  for (int i = 0; i < 5; ++i) {
    if (kValueIds[i] == id) {
      return m_values[i]->text();
    }
  }
  return {};
}

bool CWaveFileDialog::GetLeftButtonCheck() const {
  return m_left->isChecked();
}

void CWaveFileDialog::ClearPanel() {
  for (QLabel* value : m_values) {
    value->clear();
  }
  m_play->setEnabled(false);
  m_left->setEnabled(false);
  m_right->setEnabled(false);
  m_described = false;
  m_info = WaveInfo();
  m_dataSize = 0;
}

void CWaveFileDialog::OnFileNameChange(const QString& path) {
  if (path != m_previewPath) {
    StopPreview();
  }
  m_selected = path;
  const QFileInfo file(path);
  WaveInfo info;
  bool readable = file.isFile();
  if (readable) {
    try {
      GetWaveInfo(path.toStdString(), info);
    } catch (const CMelodyException&) {
      readable = false;
    }
  }
  if (!readable || info.m_wBlockAlign == 0) {
    ClearPanel();
    return;
  }
  m_info = info;
  m_dataSize = info.m_dwFrames * info.m_wBlockAlign;
  m_described = true;
  m_values[0]->setText(Formatted(kSize, info.m_dwRiffSize / 1024 + (info.m_dwRiffSize % 1024 != 0 ? 1 : 0)));
  m_values[1]->setText(Formatted(kRate, info.m_dwSamplesPerSec));
  m_values[2]->setText(Formatted(kWidth, info.m_wBitsPerSample));
  m_values[3]->setText(Text(info.m_wChannels == 1 ? kChannels : kStereo));
  if (info.m_dwAvgBytesPerSec == 0) {
    m_values[4]->clear();
    ShowMsg(kMsgError, MB_ICONEXCLAMATION);
  } else {
    const std::uint32_t seconds =
        m_dataSize / info.m_dwAvgBytesPerSec + (m_dataSize % info.m_dwAvgBytesPerSec != 0 ? 1 : 0);
    m_values[4]->setText(DurationText(seconds));
  }
  // Only what the melody conversion can take may be heard: anything else would play as
  // noise or not at all.
  m_play->setEnabled(ConversionProblem(info).empty() && info.m_dwAvgBytesPerSec != 0);
  const bool stereo = info.m_wChannels > 1;
  m_left->setEnabled(stereo);
  m_right->setEnabled(stereo);
  m_left->setChecked(true);
}

void CWaveFileDialog::StopPreview() {
  if (m_previewing) {
    m_player->Stop();
    m_player->Close();
  }
  m_previewing = false;
  m_previewPath.clear();
  m_play->setText(Text(kPlay));
}

void CWaveFileDialog::OnPlayAndStop() {
  if (m_previewing) {
    StopPreview();
    return;
  }
  if (!m_described) {
    return;
  }
  int result = CPlayWave::kRefused;
  try {
    result = m_player->Open(m_selected.toStdString());
    if (result == CPlayWave::kDone) {
      result = m_player->Play(0, 0);
    }
  } catch (const CMelodyException& e) {
    std::fprintf(stderr, "CWaveFileDialog::OnPlayAndStop E.m_dwErrorCode[%u]\n", e.Code());
  }
  if (result != CPlayWave::kDone) {
    m_player->Close();
    ShowMsg(kMsgPlayFailed, MB_ICONEXCLAMATION);
    return;
  }
  m_previewing = true;
  m_previewPath = m_selected;
  m_play->setText(Text(kStop));
}

void CWaveFileDialog::OnPlayEnd() {
  StopPreview();
}

void CWaveFileDialog::done(int result) {
  StopPreview();
  QFileDialog::done(result);
}

std::string CWaveFileDialog::Choose() {
  const QString folder = QDir::currentPath();
  const int result = exec();
  QDir::setCurrent(folder);
  if (result != QDialog::Accepted || selectedFiles().isEmpty()) {
    return {};
  }
  return selectedFiles().front().toStdString();
}
