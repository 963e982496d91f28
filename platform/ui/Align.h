#pragma once
// Docking of a window's children by their "align" property, as the window's
// description gives it: "alTop", "alBottom", "alLeft", "alRight" or
// "alClient". Children are placed in the order they were made, each taking a
// strip of the space the earlier ones left; "alClient" children take what is
// left at the end. Children without the property keep their own place.

class QWidget;

void arrangeAlignedChildren(QWidget* parent);
