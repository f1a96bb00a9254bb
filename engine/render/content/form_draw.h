// Running a form XObject's content in the interpreter that draws it.
#pragma once

namespace vistrel {

class ContentInterpreter;
class FormXObject;

// Runs the form's content through its own content runner, with the form's
// decoded data as the content input; afterwards the interpreter's content
// input and base matrix are those from before. Nothing happens for a form
// that is not valid or whose stream does not open. The form's /Matrix,
// /BBox and the graphics state around it are the caller's business.
void drawFormXObject(FormXObject& form, ContentInterpreter& interpreter);

}  // namespace vistrel
