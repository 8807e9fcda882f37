"""The exception of the velxmln package (kept apart so that the compiled module can raise it)."""


class XMLError(ValueError):
    """A document that cannot be read or written.

    `message` says what went wrong and where; `line` and `column` (from 1) give the place in the
    text that was read, or 0 when there is none (an invalid name found while writing, say).
    """

    def __init__(self, message, line=0, column=0):
        super().__init__(message)
        self.message = message
        self.line = line
        self.column = column


# Shown as velxmln.XMLError in tracebacks, where users catch it.
XMLError.__module__ = "velxmln"
