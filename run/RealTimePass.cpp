#include "run/RealTimePass.h"

#include "run/RunDriver.h"

namespace vexlo {

std::optional<TextOperation> RealTimeOperation(const RealTimeInputs &inputs, const TextEngineOptions &options)
{
    const bool line = !inputs.findLine.empty();
    const bool block = !inputs.findMemo.empty();
    const bool lineReplacement = !inputs.replacementLine.empty();
    const bool memoReplacement = !inputs.replacementMemo.empty();
    if (line == block || (lineReplacement && memoReplacement))
        return std::nullopt;

    TextOperation op;
    op.options = options;
    if (line) {
        op.kind = TextOperation::Kind::InLine;
        op.find = inputs.findLine;
        if (memoReplacement)
            op.inLine.lines = MemoLines(inputs.replacementMemo); // one line: a one-string replacement
        else
            op.inLine = InLineReplacement::OneString(inputs.replacementLine);
        return op;
    }
    op.kind = TextOperation::Kind::Block;
    op.findLines = MemoLines(inputs.findMemo);
    if (lineReplacement)
        op.replacementLines = Lines{inputs.replacementLine};
    else if (memoReplacement)
        op.replacementLines = MemoLines(inputs.replacementMemo);
    return op;
}

std::optional<Lines> RealTimePass(const RealTimeInputs &inputs, const Lines &text,
                                  const TextEngineOptions &options)
{
    const std::optional<TextOperation> op = RealTimeOperation(inputs, options);
    if (!op)
        return std::nullopt;
    if (op->kind == TextOperation::Kind::InLine)
        return ReplaceInLine(text, op->find, op->inLine, op->options);
    return ReplaceBlock(text, op->findLines, op->replacementLines, op->options);
}

} // namespace vexlo
