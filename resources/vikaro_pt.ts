<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt_BR" sourcelanguage="fr_FR">
<context>
    <name>Vikaro</name>
    <message>
        <source>Sauver ces couleurs</source>
        <translation>Sauver ces couleurs zzzzzz</translation>
    </message>
    <message>
        <source>dans le presse-papiers</source>
        <translation>dans le presse-papiers</translation>
    </message>
</context>
</TS>
