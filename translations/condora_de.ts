<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>Condora</name>
    <message>
        <source>The connection is not open.</source>
        <translation>Die Verbindung ist nicht geöffnet.</translation>
    </message>
    <message>
        <source>The database file is locked by another connection. Try again when it is free.</source>
        <translation>Die Datenbankdatei ist von einer anderen Verbindung gesperrt. Versuchen Sie es erneut, wenn sie frei ist.</translation>
    </message>
    <message>
        <source>Illegal SQL expression!</source>
        <translation>Ungültiger SQL-Ausdruck!</translation>
    </message>
    <message>
        <source>Please input SQL!</source>
        <translation>Bitte geben Sie eine SQL-Anweisung ein!</translation>
    </message>
    <message>
        <source>The statement is not a query (it begins with %1): Condora only reads data.</source>
        <translation>Die Anweisung ist keine Abfrage (sie beginnt mit %1): Condora liest nur Daten.</translation>
    </message>
    <message>
        <source>The stored value of %1 cannot be read.</source>
        <translation>Der gespeicherte Wert von %1 kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The statement has no column for these rows of the condition, so they were left out: %1</source>
        <translation>Die Anweisung hat keine Spalte für diese Zeilen der Bedingung, sie wurden daher weggelassen: %1</translation>
    </message>
    <message>
        <source>The statement holds %1, which databases read in different ways: a condition added to it could end up inside the comment.</source>
        <translation>Die Anweisung enthält %1, den Datenbanken unterschiedlich lesen: eine hinzugefügte Bedingung könnte im Kommentar landen.</translation>
    </message>
    <message>
        <source>The operator of these rows of the condition does not suit their column, so they were left out: %1</source>
        <translation>Der Operator dieser Zeilen der Bedingung passt nicht zu ihrer Spalte, sie wurden daher weggelassen: %1</translation>
    </message>
    <message>
        <source>This control is still running a query. Try again when it has finished.</source>
        <translation>Dieses Steuerelement führt noch eine Abfrage aus. Versuchen Sie es erneut, wenn sie fertig ist.</translation>
    </message>
    <message>
        <source>Another statement is still running on this connection. Try again when it has finished.</source>
        <translation>Auf dieser Verbindung läuft noch eine andere Anweisung. Versuchen Sie es erneut, wenn sie fertig ist.</translation>
    </message>
</context>
<context>
    <name>condora::AboutDialog</name>
    <message>
        <source>About</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Version 3.0</source>
        <translation>Version 3.0</translation>
    </message>
    <message>
        <source>Builds the WHERE condition of a query, row by row.</source>
        <translation>Erstellt die WHERE-Bedingung einer Abfrage, Zeile für Zeile.</translation>
    </message>
</context>
<context>
    <name>condora::ColumnFilters</name>
    <message>
        <source>No.%1 filter condition is incorrect!</source>
        <translation>Filterbedingung Nr. %1 ist fehlerhaft!</translation>
    </message>
</context>
<context>
    <name>condora::ConditionComposer</name>
    <message>
        <source>A bracket, operator or logical word of the condition is not one the lists offer.</source>
        <translation>Eine Klammer, ein Operator oder eine Verknüpfung der Bedingung ist keine, die die Listen anbieten.</translation>
    </message>
    <message>
        <source>A value of the condition that must be a number is not one.</source>
        <translation>Ein Wert der Bedingung, der eine Zahl sein muss, ist keine.</translation>
    </message>
    <message>
        <source>The brackets of the condition do not pair.</source>
        <translation>Die Klammern der Bedingung bilden keine Paare.</translation>
    </message>
    <message>
        <source>The condition cannot filter this statement: %1.</source>
        <translation>Die Bedingung kann diese Anweisung nicht filtern: %1.</translation>
    </message>
</context>
<context>
    <name>condora::ConditionValidator</name>
    <message>
        <source>Types of the column and operator do not match!</source>
        <translation>Die Typen von Spalte und Operator passen nicht zusammen!</translation>
    </message>
    <message>
        <source>The value must be date!</source>
        <translation>Der Wert muss ein Datum sein!</translation>
    </message>
    <message>
        <source>The value must be numerical!</source>
        <translation>Der Wert muss eine Zahl sein!</translation>
    </message>
    <message>
        <source>Brackets in same type can&apos;t be use continuously!</source>
        <translation>Gleiche Klammern dürfen nicht direkt aufeinander folgen!</translation>
    </message>
    <message>
        <source>The number of left bracket must accord with that of right bracket!</source>
        <translation>Die Zahl der öffnenden Klammern muss der Zahl der schließenden Klammern entsprechen!</translation>
    </message>
    <message>
        <source>Logical word needed!</source>
        <translation>Eine Verknüpfung (And oder Or) fehlt!</translation>
    </message>
    <message>
        <source>The value must be two values separated by a comma!</source>
        <translation>Der Wert muss aus zwei durch ein Komma getrennten Werten bestehen!</translation>
    </message>
    <message>
        <source>The value must be one or more values separated by commas!</source>
        <translation>Der Wert muss aus einem oder mehreren durch Kommas getrennten Werten bestehen!</translation>
    </message>
    <message>
        <source>Row %1: a bracket cell holds &quot;(&quot; on the left, &quot;)&quot; on the right, or nothing.</source>
        <translation>Zeile %1: Eine Klammerzelle enthält links &quot;(&quot;, rechts &quot;)&quot; oder nichts.</translation>
    </message>
    <message>
        <source>Row %1: the logical word is And or Or.</source>
        <translation>Zeile %1: Die Verknüpfung ist And oder Or.</translation>
    </message>
    <message>
        <source>Row %1: the value holds a NUL character, which no database keeps in text.</source>
        <translation>Zeile %1: Der Wert enthält ein NUL-Zeichen, das keine Datenbank in Text speichert.</translation>
    </message>
    <message>
        <source>Row %1: the value holds half of a character (a lone surrogate).</source>
        <translation>Zeile %1: Der Wert enthält ein halbes Zeichen (ein einzelnes Surrogat).</translation>
    </message>
    <message>
        <source>Row %1: the value is too long to search for (at most %2 bytes on this database).</source>
        <translation>Zeile %1: Der Wert ist zu lang für die Suche (höchstens %2 Bytes bei dieser Datenbank).</translation>
    </message>
    <message>
        <source>Row %1: this &quot;)&quot; has no &quot;(&quot; before it.</source>
        <translation>Zeile %1: Vor dieser &quot;)&quot; steht keine &quot;(&quot;.</translation>
    </message>
</context>
<context>
    <name>condora::DerivedFilter</name>
    <message>
        <source>a window function</source>
        <translation>eine Fensterfunktion</translation>
    </message>
    <message>
        <source>its ORDER BY item %1 is not a column of its result, and the rows it caps must be the rows the condition keeps</source>
        <translation>ihr ORDER-BY-Ausdruck %1 ist keine Spalte ihres Ergebnisses, und die begrenzten Zeilen müssen die sein, die die Bedingung behält</translation>
    </message>
</context>
<context>
    <name>condora::ErrorReport</name>
    <message>
        <source>Condora can&apos;t recognise this sql&apos;s format.Please change the sql&apos;s format.</source>
        <translation>Condora erkennt das Format dieser SQL-Anweisung nicht. Bitte ändern Sie die Anweisung.</translation>
    </message>
    <message>
        <source>Error message:</source>
        <translation>Fehlermeldung:</translation>
    </message>
    <message>
        <source>Error number:</source>
        <translation>Fehlernummer:</translation>
    </message>
    <message>
        <source>Out of memory</source>
        <translation>Nicht genügend Arbeitsspeicher</translation>
    </message>
    <message>
        <source>Internal error: </source>
        <translation>Interner Fehler: </translation>
    </message>
    <message>
        <source>Internal error</source>
        <translation>Interner Fehler</translation>
    </message>
    <message>
        <source>The statement was stopped before it finished; nothing was changed.</source>
        <translation>Die Anweisung wurde angehalten, bevor sie fertig war; nichts wurde geändert.</translation>
    </message>
</context>
<context>
    <name>condora::FlexGridModel</name>
    <message>
        <source>blank</source>
        <translation>leer</translation>
    </message>
    <message>
        <source>Title row</source>
        <translation>Titelzeile</translation>
    </message>
    <message>
        <source>Row %1</source>
        <translation>Zeile %1</translation>
    </message>
</context>
<context>
    <name>condora::SqlScanner</name>
    <message>
        <source>a line comment ended by a lone carriage return</source>
        <translation>einen Zeilenkommentar, der mit einem einzelnen Wagenrücklauf endet</translation>
    </message>
    <message>
        <source>a block comment inside a block comment</source>
        <translation>einen Blockkommentar in einem Blockkommentar</translation>
    </message>
</context>
<context>
    <name>condora::WorkingIndicator</name>
    <message>
        <source>Working...</source>
        <translation>Wird ausgeführt...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Stops the statement the database is working on (Escape).</source>
        <translation>Hält die Anweisung an, an der die Datenbank gerade arbeitet (Esc).</translation>
    </message>
    <message>
        <source>Working</source>
        <translation>In Arbeit</translation>
    </message>
    <message>
        <source>Cancel the statement</source>
        <translation>Abbrechen der Anweisung</translation>
    </message>
</context>
<context>
    <name>condora::LiveCount</name>
    <message>
        <source>Row count</source>
        <translation>Zeilenzahl</translation>
    </message>
    <message>
        <source>How many rows the statement gives with the condition as it is now.</source>
        <translation>Wie viele Zeilen die Anweisung mit der Bedingung in ihrer jetzigen Form liefert.</translation>
    </message>
    <message>
        <source>1 row</source>
        <translation>1 Zeile</translation>
    </message>
    <message>
        <source>%1 rows</source>
        <translation>%1 Zeilen</translation>
    </message>
</context>
<context>
    <name>condora::ConditionEditor</name>
    <message>
        <source>The row in green will be used.</source>
        <translation>Die grün dargestellte Zeile wird verwendet.</translation>
    </message>
    <message>
        <source>Get value</source>
        <translation>Wert holen</translation>
    </message>
    <message>
        <source>Column</source>
        <translation>Spalte</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>Operator</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Wert</translation>
    </message>
    <message>
        <source>Logical</source>
        <translation>Logik</translation>
    </message>
    <message>
        <source>Number</source>
        <translation>Zahl</translation>
    </message>
    <message>
        <source>e.g. %1</source>
        <translation>z. B. %1</translation>
    </message>
    <message>
        <source>Character</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Datum</translation>
    </message>
    <message>
        <source>e.g. %1 or %2</source>
        <translation>z. B. %1 oder %2</translation>
    </message>
    <message>
        <source>used in the condition</source>
        <translation>in der Bedingung verwendet</translation>
    </message>
    <message>
        <source>Query condition</source>
        <translation>Abfragebedingung</translation>
    </message>
    <message>
        <source>One row per part of the condition: bracket, column, operator, value, bracket, And or Or. Enter, F2, Space or typing edits the current cell; Insert adds a row, Ctrl+Delete deletes it.</source>
        <translation>Eine Zeile je Teil der Bedingung: Klammer, Spalte, Operator, Wert, Klammer, And oder Or. Eingabe, F2, Leertaste oder Tippen bearbeitet die aktuelle Zelle; Einfg fügt eine Zeile hinzu, Strg+Entf löscht sie.</translation>
    </message>
    <message>
        <source>Cell choices</source>
        <translation>Auswahl für die Zelle</translation>
    </message>
    <message>
        <source>Arrow keys move, Enter picks, Escape leaves the cell unchanged.</source>
        <translation>Pfeiltasten bewegen, Eingabe wählt, Esc lässt die Zelle unverändert.</translation>
    </message>
    <message>
        <source>The value to compare the column with; F4 or Alt+Down lists the column&apos;s values, Escape leaves the cell unchanged.</source>
        <translation>Der Wert, mit dem die Spalte verglichen wird; F4 oder Alt+Nach-unten listet die Werte der Spalte auf, Esc lässt die Zelle unverändert.</translation>
    </message>
    <message>
        <source>Pick a value</source>
        <translation>Wert auswählen</translation>
    </message>
    <message>
        <source>Lists the values of the row&apos;s column to pick one.</source>
        <translation>Listet die Werte der Spalte dieser Zeile zur Auswahl auf.</translation>
    </message>
    <message>
        <source>Are you sure to delete the row?</source>
        <translation>Soll die Zeile wirklich gelöscht werden?</translation>
    </message>
    <message>
        <source>No bracket</source>
        <translation>Keine Klammer</translation>
    </message>
    <message>
        <source>Row %1 of the condition (empty).</source>
        <translation>Zeile %1 der Bedingung (leer).</translation>
    </message>
    <message>
        <source>Row %1 of the condition: %2</source>
        <translation>Zeile %1 der Bedingung: %2</translation>
    </message>
    <message>
        <source>A number takes digits, one &quot;.&quot; and a leading &quot;-&quot; (at most %1 digits before the point and %2 after it).</source>
        <translation>Eine Zahl nimmt Ziffern, einen &quot;.&quot; und ein führendes &quot;-&quot; (höchstens %1 Stellen vor dem Punkt und %2 danach).</translation>
    </message>
    <message>
        <source>Arrow keys move, Enter or a double click takes the day, Escape keeps the value.</source>
        <translation>Pfeiltasten bewegen, Eingabe oder ein Doppelklick übernimmt den Tag, Escape behält den Wert.</translation>
    </message>
</context>
<context>
    <name>condora::frmCondora</name>
    <message>
        <source>QUERY</source>
        <translation>ABFRAGE</translation>
    </message>
    <message>
        <source>Query Condition:</source>
        <translation>Abfragebedingung:</translation>
    </message>
    <message>
        <source> Show Sql</source>
        <translation> SQL anzeigen</translation>
    </message>
    <message>
        <source>&amp;Add</source>
        <translation>&amp;Hinzufügen</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>Abbre&amp;chen</translation>
    </message>
    <message>
        <source>&amp;Verify</source>
        <translation>&amp;Prüfen</translation>
    </message>
    <message>
        <source>Wrong query condition!</source>
        <translation>Falsche Abfragebedingung!</translation>
    </message>
    <message>
        <source>Ok!</source>
        <translation>In Ordnung!</translation>
    </message>
    <message>
        <source>Query</source>
        <translation>Abfrage</translation>
    </message>
    <message>
        <source>Build the condition of the query row by row, then press OK.</source>
        <translation>Erstellen Sie die Bedingung der Abfrage Zeile für Zeile und drücken Sie dann OK.</translation>
    </message>
    <message>
        <source>Show Sql</source>
        <translation>SQL anzeigen</translation>
    </message>
    <message>
        <source>Shows the composed condition under the grid.</source>
        <translation>Zeigt die zusammengesetzte Bedingung unter dem Raster.</translation>
    </message>
    <message>
        <source>Composed condition</source>
        <translation>Zusammengesetzte Bedingung</translation>
    </message>
    <message>
        <source>The condition as it will be added to the statement.</source>
        <translation>Die Bedingung, wie sie der Anweisung hinzugefügt wird.</translation>
    </message>
    <message>
        <source>Add row</source>
        <translation>Zeile hinzufügen</translation>
    </message>
    <message>
        <source>Adds an empty row at the end of the condition.</source>
        <translation>Fügt am Ende der Bedingung eine leere Zeile hinzu.</translation>
    </message>
    <message>
        <source>Delete row</source>
        <translation>Zeile löschen</translation>
    </message>
    <message>
        <source>Deletes the current row after asking.</source>
        <translation>Löscht nach Rückfrage die aktuelle Zeile.</translation>
    </message>
    <message>
        <source>Verify</source>
        <translation>Prüfen</translation>
    </message>
    <message>
        <source>Checks the condition against the database.</source>
        <translation>Prüft die Bedingung mit der Datenbank.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Checks the condition and closes with it.</source>
        <translation>Prüft die Bedingung und schließt mit ihr.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Closes without a condition.</source>
        <translation>Schließt ohne Bedingung.</translation>
    </message>
    <message>
        <source>The rows could not be counted: %1</source>
        <translation>Die Zeilen konnten nicht gezählt werden: %1</translation>
    </message>
    <message>
        <source>1 row</source>
        <translation>1 Zeile</translation>
    </message>
    <message>
        <source>%1 rows</source>
        <translation>%1 Zeilen</translation>
    </message>
    <message>
        <source>The statement returns no rows.</source>
        <translation>Die Anweisung liefert keine Zeilen.</translation>
    </message>
    <message>
        <source>No rows match the condition.</source>
        <translation>Keine Zeile erfüllt die Bedingung.</translation>
    </message>
    <message>
        <source>Find the rows of the condition that rule out every row?</source>
        <translation>Die Zeilen der Bedingung suchen, die jede Zeile ausschließen?</translation>
    </message>
    <message>
        <source>Even without any one, two or three rows of the condition the statement returns no rows.</source>
        <translation>Auch ohne eine, zwei oder drei beliebige Zeilen der Bedingung liefert die Anweisung keine Zeilen.</translation>
    </message>
    <message>
        <source>used in the condition; rules out every row</source>
        <translation>in der Bedingung verwendet; schließt jede Zeile aus</translation>
    </message>
    <message>
        <source>Row %1 of the condition rules out every row: without it the statement returns rows.</source>
        <translation>Zeile %1 der Bedingung schließt jede Zeile aus: ohne sie liefert die Anweisung Zeilen.</translation>
    </message>
    <message>
        <source>Rows %1 of the condition together rule out every row: without them the statement returns rows.</source>
        <translation>Die Zeilen %1 der Bedingung schließen zusammen jede Zeile aus: ohne sie liefert die Anweisung Zeilen.</translation>
    </message>
    <message>
        <source>Close the query and drop its condition?</source>
        <translation>Die Abfrage schließen und ihre Bedingung verwerfen?</translation>
    </message>
    <message>
        <source>Recent conditions</source>
        <translation>Letzte Bedingungen</translation>
    </message>
    <message>
        <source>Conditions accepted earlier on this statement; picking one fills the grid with it.</source>
        <translation>Früher zu dieser Anweisung bestätigte Bedingungen; die gewählte füllt das Raster.</translation>
    </message>
</context>
<context>
    <name>condora::frmGetValue</name>
    <message>
        <source>value</source>
        <translation>Wert</translation>
    </message>
    <message>
        <source>Click title to sort</source>
        <translation>Zum Sortieren auf den Titel klicken</translation>
    </message>
    <message>
        <source>Values</source>
        <translation>Werte</translation>
    </message>
    <message>
        <source>Enter picks the current value, Escape closes without a pick; a click on the title sorts.</source>
        <translation>Eingabe wählt den aktuellen Wert, Esc schließt ohne Auswahl; ein Klick auf den Titel sortiert.</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Search values</source>
        <translation>Werte suchen</translation>
    </message>
    <message>
        <source>Lists only the values that contain the typed text; Down moves into the list, Enter picks the current value.</source>
        <translation>Zeigt nur die Werte, die den eingegebenen Text enthalten; Pfeil nach unten wechselt in die Liste, Eingabe wählt den aktuellen Wert.</translation>
    </message>
    <message>
        <source>Rows per value</source>
        <translation>Zeilen je Wert</translation>
    </message>
    <message>
        <source>%1+ values</source>
        <translation>%1+ Werte</translation>
    </message>
    <message>
        <source>%1+ values (sample)</source>
        <translation>%1+ Werte (Stichprobe)</translation>
    </message>
    <message>
        <source>The list of values could not be read.</source>
        <translation>Die Liste der Werte konnte nicht gelesen werden.</translation>
    </message>
    <message>
        <source>1 value</source>
        <translation>1 Wert</translation>
    </message>
    <message>
        <source>%1 values</source>
        <translation>%1 Werte</translation>
    </message>
    <message>
        <source>Only values matching the other rows</source>
        <translation>Nur Werte, die zu den anderen Zeilen passen</translation>
    </message>
    <message>
        <source>Lists only the values that rows matching the other rows of the condition hold.</source>
        <translation>Zeigt nur die Werte der Zeilen, die die anderen Zeilen der Bedingung erfüllen.</translation>
    </message>
    <message>
        <source>Use chosen values</source>
        <translation>Gewählte Werte übernehmen</translation>
    </message>
    <message>
        <source>Closes the list and takes every chosen value.</source>
        <translation>Schließt die Liste und übernimmt alle gewählten Werte.</translation>
    </message>
    <message>
        <source>A click or Space adds the current value to the chosen values or takes it out; Enter takes the chosen values, Escape closes without a pick.</source>
        <translation>Ein Klick oder die Leertaste nimmt den aktuellen Wert in die gewählten Werte auf oder nimmt ihn heraus; die Eingabetaste übernimmt die gewählten Werte, Escape schließt ohne Auswahl.</translation>
    </message>
    <message>
        <source>No values chosen</source>
        <translation>Keine Werte gewählt</translation>
    </message>
    <message>
        <source>%1 chosen: %2</source>
        <translation>%1 gewählt: %2</translation>
    </message>
    <message>
        <source>Shows how many rows of the query hold each value.</source>
        <translation>Zeigt, wie viele Zeilen der Abfrage jeden Wert enthalten.</translation>
    </message>
    <message>
        <source>Query rows</source>
        <translation>Zeilen der Abfrage</translation>
    </message>
    <message>
        <source>Clear search</source>
        <translation>Suche leeren</translation>
    </message>
</context>
</TS>
