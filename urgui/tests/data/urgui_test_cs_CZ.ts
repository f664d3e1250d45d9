<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="cs_CZ">
<context>
    <name>UrguiTest</name>
    <message>
        <source>Hello</source>
        <translation>Dobrý den</translation>
    </message>
</context>
</TS>
