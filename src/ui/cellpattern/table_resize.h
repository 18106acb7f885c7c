// Resizing the table from a pattern window: the record (through its clamping
// setters), the Table Properties boxes that show it, and the renderer the
// pattern is painted for all take the new size.
#pragma once

class AnimationHost;
class AnimationRenderer;
class CHtmlTable;

// The table the host's windows edit: the document's, or Table Properties'
// when the host has no document. Null when there is neither.
CHtmlTable* HostTable(AnimationHost* host);

struct TableResize {
    int width = 0;
    int height = 0;
    int border = -1; // -1: kept
    int cells = -1;  // rows and columns; -1: kept
};

// Sets the record and the Table Properties boxes, then hands the record's
// geometry to `renderer` when given.
void ResizeHostTable(AnimationHost* host, const TableResize& size, AnimationRenderer* renderer);
