// Runs a function on the user-interface thread for a connection thread and
// waits, bounded, for its result. Stop() releases every waiter at once, so a
// server that is shutting down never waits on the thread that shuts it down.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include <QMetaObject>
#include <QObject>

namespace server {

class CUiThreadCalls {
 public:
  // `context` lives on the user-interface thread; calls queued to it are
  // dropped if it goes first.
  explicit CUiThreadCalls(QObject& context) : m_context(&context) {}

  // Nothing when the call did not finish in `timeout` or Stop() came first.
  // A call that starts late still runs once; its result is then dropped.
  template <typename T>
  std::optional<T> Run(std::function<T()> function, std::chrono::milliseconds timeout) {
    auto call = std::make_shared<Call<T>>();
    {
      std::lock_guard guard(m_gate->lock);
      if (m_gate->stopping) return std::nullopt;
    }
    QMetaObject::invokeMethod(
        m_context,
        [gate = m_gate, call, function = std::move(function)] {
          {
            std::lock_guard guard(gate->lock);
            if (gate->stopping || call->abandoned) return;
          }
          T result = function();
          std::lock_guard guard(gate->lock);
          call->result = std::move(result);
          gate->changed.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(m_gate->lock);
    m_gate->changed.wait_for(lock, timeout, [&] { return m_gate->stopping || call->result.has_value(); });
    if (!call->result) call->abandoned = true;
    return call->result;
  }

  void Stop() {
    std::lock_guard guard(m_gate->lock);
    m_gate->stopping = true;
    m_gate->changed.notify_all();
  }

 private:
  struct Gate {
    std::mutex lock;
    std::condition_variable changed;
    bool stopping = false;
  };
  template <typename T>
  struct Call {
    std::optional<T> result;
    bool abandoned = false;
  };

  QObject* m_context;
  std::shared_ptr<Gate> m_gate = std::make_shared<Gate>();
};

}  // namespace server
