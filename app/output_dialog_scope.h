// Counts a save, print or movie dialog as open for as long as it is, so that
// quick captures keep out of its way.
#pragma once

class OutputDialogScope {
 public:
  explicit OutputDialogScope(int& open) : m_open(open) { ++m_open; }
  ~OutputDialogScope() { --m_open; }
  OutputDialogScope(const OutputDialogScope&) = delete;
  OutputDialogScope& operator=(const OutputDialogScope&) = delete;

 private:
  int& m_open;
};
