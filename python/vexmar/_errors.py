"""The exception of the vexmar module."""


class Error(Exception):
    """An error that escaped a member of the library.

    number      the Automation-style error number (53: file not found, 9: subscript...)
    description its description, in Simplified Chinese as the library gives it
    hresult     the failure status a COM caller sees, 0x800A0000 | number (signed)
    """

    def __init__(self, number, description, hresult=None):
        super().__init__(number, description)
        self.number = number
        self.description = description
        if hresult is None:
            hresult = (0x800A0000 | number) - (1 << 32)
        self.hresult = hresult

    def __str__(self):
        return "%d (0x%08X) %s" % (self.number, self.hresult & 0xFFFFFFFF, self.description)
