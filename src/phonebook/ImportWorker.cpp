#include "phonebook/ImportWorker.h"

#include "ui/WindowMessageEvent.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>

CImportWorker::CImportWorker(QObject* parent) : QObject(parent) {
  m_handle = CWindowRegistry::Instance().Register(this);
}

CImportWorker::~CImportWorker() {
  m_cancel = true;
  Join();
  // After this no message reaches the object; one already queued dies with it.
  CWindowRegistry::Instance().Unregister(m_handle);
  if (m_loop != nullptr) {
    m_loop->quit();
  }
}

bool CImportWorker::Start(Job job) {
  if (Running()) {
    return false;
  }
  m_cancel = false;
  m_result = 0;
  const WindowHandle handle = m_handle;
  m_thread = std::thread([job = std::move(job), handle, this] {
    const bool skipped = job(m_cancel);
    PostMessage(handle, skipped ? kDoneSkipped : kDone, 0, 0);
  });
  return true;
}

std::uint32_t CImportWorker::Wait() {
  if (!Running()) {
    return 0;
  }
  if (m_result == 0) {
    QPointer<CImportWorker> self(this);
    QEventLoop loop;
    m_loop = &loop;
    loop.exec();
    if (!self) {
      return 0;
    }
    m_loop = nullptr;
  }
  Join();
  return m_result;
}

void CImportWorker::Join() {
  if (m_thread.joinable()) {
    m_thread.join();
  }
}

void CImportWorker::Deliver(const WindowMessage& message) {
  QCoreApplication::postEvent(this, new CWindowMessageEvent(message));
}

bool CImportWorker::event(QEvent* event) {
  if (event->type() != CWindowMessageEvent::EventType()) {
    return QObject::event(event);
  }
  const std::uint32_t message = static_cast<CWindowMessageEvent*>(event)->Message().message;
  if (message == kDone || message == kDoneSkipped) {
    m_result = message;
    if (m_loop != nullptr) {
      m_loop->quit();
    }
  }
  return true;
}
