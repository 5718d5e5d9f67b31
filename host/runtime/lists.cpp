// Doubly linked lists whose nodes live inside the caller's records,
// answering tarnlst's calls.
#include "contract/gui_calls.h"

extern "C" {

void lstInitList(ListHeader *list)
{
    if (!list) return;
    list->head = nullptr;
    list->tail = nullptr;
    list->count = 0;
}

void lstAppendNode(ListHeader *list, ListNode *node)
{
    if (!list || !node) return;
    node->next = nullptr;
    node->prev = list->tail;
    if (list->tail) list->tail->next = node;
    else list->head = node;
    list->tail = node;
    ++list->count;
}

} // extern "C"
