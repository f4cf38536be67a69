#pragma once

#include "platform/MessageTarget.h"
#include "platform/WindowRegistry.h"

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

class QEventLoop;

// Runs one import job on its own thread. The job works only on what it was given (a copy of
// the window's data), never on widgets; when it ends, the thread posts WM_APP+0x1F4 (done)
// or WM_APP+0x1F5 (done, some rows were skipped) to this object's window handle. Wait runs a
// local event loop until that message arrives, so the window keeps painting meanwhile, and
// then joins the thread: whatever the job wrote is complete and visible to the caller. The
// destructor asks a running job to stop and joins it, so the owner never ends while its
// job still runs.
class CImportWorker : public QObject, public IMessageTarget {
  Q_OBJECT

 public:
  static constexpr std::uint32_t kDone = WM_APP + 0x1F4;
  static constexpr std::uint32_t kDoneSkipped = WM_APP + 0x1F5;

  // The job answers whether it skipped rows; it reads the cancel flag as it goes.
  using Job = std::function<bool(const std::atomic<bool>& cancel)>;

  explicit CImportWorker(QObject* parent = nullptr);
  ~CImportWorker() override;
  CImportWorker(const CImportWorker&) = delete;
  CImportWorker& operator=(const CImportWorker&) = delete;

  // Starts the job; false while another still runs.
  bool Start(Job job);
  // Waits for the job's message and joins its thread: kDone or kDoneSkipped; 0 when no job
  // was started.
  std::uint32_t Wait();
  void Cancel() { m_cancel = true; }
  bool Running() const { return m_thread.joinable(); }

  void Deliver(const WindowMessage& message) override;

 protected:
  bool event(QEvent* event) override;

 private:
  void Join();

  WindowHandle m_handle = 0;
  std::thread m_thread;
  std::atomic<bool> m_cancel{false};
  std::uint32_t m_result = 0;
  QEventLoop* m_loop = nullptr;
};
