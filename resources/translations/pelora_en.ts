<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name></name>
    <message id="buttonQuit">
        <source>Quit</source>
        <translation>Quit</translation>
    </message>
    <message id="strip.clipboard.imagePreview">
        <source>Image %1 × %2</source>
        <translation>Image %1 × %2</translation>
    </message>
    <message id="strip.clipboard.filesPreview">
        <source>%1 Files</source>
        <translation>%1 Files</translation>
    </message>
</context>
</TS>
