// The intrusive lists some handle kinds keep beside their tables: a head and
// a tail sentinel with the owners' embedded nodes between them, newest first.
#include "core/handle.h"

#include "core/log.h"
#include "core/log_text.h"

namespace qz {

int InitHandleList(HandleListNode* head, HandleListNode* tail) {
  if (head == nullptr || tail == nullptr) return AppendLogText(text::kHandleListNodeMissing);
  *head = HandleListNode{kNoHandle, nullptr, nullptr, tail};
  *tail = HandleListNode{kNoHandle, nullptr, head, nullptr};
  return 0;
}

int AddHandleListNode(HandleListNode* head, HandleListNode* node, std::int32_t id, void* record) {
  // A head without a successor was never initialised; linking would lose the tail.
  if (head == nullptr || node == nullptr || head->next == nullptr) {
    return AppendLogText(text::kHandleListNodeMissing);
  }
  node->id = id;
  node->record = record;
  node->previous = head;
  node->next = head->next;
  head->next->previous = node;
  head->next = node;
  return 0;
}

int RemoveHandleListNode(HandleListNode* node) {
  // Sentinels and nodes that were never linked have a missing neighbour.
  if (node == nullptr || node->previous == nullptr || node->next == nullptr) {
    return AppendLogText(text::kHandleListNodeMissing);
  }
  node->previous->next = node->next;
  node->next->previous = node->previous;
  return 0;
}

}  // namespace qz
