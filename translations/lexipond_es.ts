<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es" sourcelanguage="en">
<context>
    <name>AboutBox</name>
    <message>
        <source>About Lexipond</source>
        <translation>Acerca de Lexipond</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Versión %1</translation>
    </message>
    <message>
        <source>A sight-word tutor: it shows one word at a time for a young&lt;br&gt;reader, and keeps each learner&apos;s answers to choose the next word.</source>
        <translation>Un tutor de palabras frecuentes: muestra una palabra cada vez a un&lt;br&gt;lector que empieza, y guarda las respuestas de cada alumno para elegir la siguiente palabra.</translation>
    </message>
</context>
<context>
    <name>Answer</name>
    <message>
        <source>Correct</source>
        <translation>Correcto</translation>
    </message>
    <message>
        <source>Incorrect</source>
        <translation>Incorrecto</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>Saltar</translation>
    </message>
</context>
<context>
    <name>ChooseTextFile</name>
    <message>
        <source>Text Files (*.txt *.log);;All Files (*)</source>
        <translation>Archivos de texto (*.txt *.log);;Todos los archivos (*)</translation>
    </message>
</context>
<context>
    <name>Level</name>
    <message>
        <source>Easiest</source>
        <translation>La más fácil</translation>
    </message>
    <message>
        <source>Easier</source>
        <translation>Más fácil</translation>
    </message>
    <message>
        <source>Easy</source>
        <translation>Fácil</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Hard</source>
        <translation>Difícil</translation>
    </message>
    <message>
        <source>Harder</source>
        <translation>Más difícil</translation>
    </message>
    <message>
        <source>Hardest</source>
        <translation>La más difícil</translation>
    </message>
</context>
<context>
    <name>MainWindowPainter</name>
    <message>
        <source>User:</source>
        <translation>Usuario:</translation>
    </message>
    <message>
        <source>Total:</source>
        <translation>Total:</translation>
    </message>
    <message>
        <source>Session:</source>
        <translation>Sesión:</translation>
    </message>
    <message>
        <source>Word:</source>
        <translation>Palabra:</translation>
    </message>
</context>
<context>
    <name>OptionsDialog</name>
    <message>
        <source>The name of the person being tutored. Past scores for each user are stored separately.</source>
        <translation>El nombre de la persona a la que se enseña. Los resultados de cada usuario se guardan por separado.</translation>
    </message>
    <message>
        <source>How hard the words are; this is based on past records. On the harder settings Lexipond tries to pick words that the user doesn&apos;t know, on the easier settings it does the reverse.</source>
        <translation>La dificultad de las palabras, según los resultados anteriores. En los niveles difíciles Lexipond intenta elegir palabras que el usuario no sabe; en los fáciles, lo contrario.</translation>
    </message>
    <message>
        <source>Lexipond transparency percentage (Will not change until &apos;Transparent&apos; is toggled)</source>
        <translation>Porcentaje de transparencia de Lexipond (no cambia hasta que se activa &apos;Transparente&apos;)</translation>
    </message>
    <message>
        <source>Lexipond Options</source>
        <translation>Opciones de Lexipond</translation>
    </message>
    <message>
        <source>Users</source>
        <translation>Usuarios</translation>
    </message>
    <message>
        <source>Word Data</source>
        <translation>Datos de palabras</translation>
    </message>
    <message>
        <source>Difficulty Level</source>
        <translation>Nivel de dificultad</translation>
    </message>
    <message>
        <source>Import</source>
        <translation>Importar</translation>
    </message>
    <message>
        <source>Lets you add more words via a text file</source>
        <translation>Permite añadir más palabras desde un archivo de texto</translation>
    </message>
    <message>
        <source>Misc</source>
        <translation>Varios</translation>
    </message>
    <message>
        <source>Confirm Quit</source>
        <translation>Confirmar salida</translation>
    </message>
    <message>
        <source>Confirm exit order prior to closing Lexipond</source>
        <translation>Pide confirmación antes de cerrar Lexipond</translation>
    </message>
    <message>
        <source>Transparency</source>
        <translation>Transparencia</translation>
    </message>
    <message>
        <source>Appearance</source>
        <translation>Apariencia</translation>
    </message>
    <message>
        <source>Classic</source>
        <translation>Clásico</translation>
    </message>
    <message>
        <source>High contrast</source>
        <translation>Alto contraste</translation>
    </message>
    <message>
        <source>Dark</source>
        <translation>Oscuro</translation>
    </message>
    <message>
        <source>&amp;Colours</source>
        <translation>&amp;Colores</translation>
    </message>
    <message>
        <source>Standard</source>
        <translation>Estándar</translation>
    </message>
    <message>
        <source>&amp;Word typeface</source>
        <translation>&amp;Tipo de letra de la palabra</translation>
    </message>
    <message>
        <source>Show words in &amp;lower case</source>
        <translation>Mostrar las palabras en &amp;minúsculas</translation>
    </message>
    <message>
        <source>Help!</source>
        <translation>¡Ayuda!</translation>
    </message>
    <message>
        <source>Shows the ReadMe</source>
        <translation>Muestra el LéaMe</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
    <message>
        <source>%1 could not be read.</source>
        <translation>No se pudo leer %1.</translation>
    </message>
    <message>
        <source>1 word added</source>
        <translation>1 palabra añadida</translation>
    </message>
    <message>
        <source>%1 words added</source>
        <translation>%1 palabras añadidas</translation>
    </message>
    <message>
        <source>%1 already in the list</source>
        <translation>%1 ya estaban en la lista</translation>
    </message>
    <message>
        <source>1 empty line skipped</source>
        <translation>1 línea vacía omitida</translation>
    </message>
    <message>
        <source>%1 empty lines skipped</source>
        <translation>%1 líneas vacías omitidas</translation>
    </message>
    <message>
        <source>%1 not added: the word list could not grow</source>
        <translation>%1 no añadidas: la lista de palabras no pudo crecer</translation>
    </message>
    <message>
        <source>; </source>
        <translation>; </translation>
    </message>
    <message>
        <source>User %1</source>
        <translation>Usuario %1</translation>
    </message>
    <message>
        <source>Woman (slt)</source>
        <translation>Mujer (slt)</translation>
    </message>
    <message>
        <source>Man, Scottish (awb)</source>
        <translation>Hombre, escocés (awb)</translation>
    </message>
    <message>
        <source>Man (rms)</source>
        <translation>Hombre (rms)</translation>
    </message>
    <message>
        <source>Man, telephone quality (kal16)</source>
        <translation>Hombre, calidad de teléfono (kal16)</translation>
    </message>
    <message>
        <source>&amp;Voice</source>
        <translation>&amp;Voz</translation>
    </message>
    <message>
        <source>Speech &amp;speed</source>
        <translation>Velocida&amp;d de la voz</translation>
    </message>
    <message>
        <source>Say the word after &amp;Incorrect</source>
        <translation>Decir la palabra tras &amp;Incorrecto</translation>
    </message>
</context>
<context>
    <name>Program</name>
    <message>
        <source>Lexipond will close so that nothing is lost.</source>
        <translation>Lexipond se cerrará para que no se pierda nada.</translation>
    </message>
    <message>
        <source>%1 is damaged (%2). Restore the backup &quot;%3&quot;? The damaged file is kept beside it either way.</source>
        <translation>%1 está dañado (%2). ¿Restaurar la copia de seguridad «%3»? El archivo dañado se conserva a su lado en cualquier caso.</translation>
    </message>
    <message>
        <source>%1 was damaged (%2). It is kept as &quot;%3&quot; and a new word list is started.</source>
        <translation>%1 estaba dañado (%2). Se conserva como «%3» y se empieza una lista de palabras nueva.</translation>
    </message>
    <message>
        <source>%1 cannot be read (%2).</source>
        <translation>No se puede leer %1 (%2).</translation>
    </message>
    <message>
        <source>%1 cannot be kept aside (%2).</source>
        <translation>No se puede apartar %1 (%2).</translation>
    </message>
    <message>
        <source>%1 cannot be written (%2).</source>
        <translation>No se puede escribir en %1 (%2).</translation>
    </message>
    <message>
        <source>%1 cannot be mapped into memory (%2).</source>
        <translation>No se puede cargar %1 en memoria (%2).</translation>
    </message>
    <message>
        <source>%1 cannot be opened (%2).</source>
        <translation>No se puede abrir %1 (%2).</translation>
    </message>
    <message>
        <source>Thanks for trying Lexipond. We hope you like it.</source>
        <translation>Gracias por probar Lexipond. Esperamos que le guste.</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Empezar</translation>
    </message>
    <message>
        <source>View ReadMe</source>
        <translation>Ver el LéaMe</translation>
    </message>
    <message>
        <source>Cannot find dImport.txt</source>
        <translation>No se encuentra dImport.txt</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Restaurar</translation>
    </message>
    <message>
        <source>Keep as it is</source>
        <translation>Dejarlo como está</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
    <message>
        <source>The answer history could not be used (%1). It is kept as &quot;%2&quot; and a new history is started; the tutor goes on as before.</source>
        <translation>No se pudo usar el historial de respuestas (%1). Se conserva como «%2» y se empieza un historial nuevo; el tutor sigue como antes.</translation>
    </message>
    <message>
        <source>This session&apos;s answers cannot be kept in the answer history (%1). The tutor goes on without it.</source>
        <translation>Las respuestas de esta sesión no se pueden guardar en el historial (%1). El tutor sigue sin él.</translation>
    </message>
</context>
<context>
    <name>ProgressReport</name>
    <message>
        <source>%1 (%2 of %3 missed)</source>
        <translation>%1 (%2 de %3 falladas)</translation>
    </message>
    <message>
        <source>(none)</source>
        <translation>(ninguna)</translation>
    </message>
    <message>
        <source>Progress of %1</source>
        <translation>Progreso de %1</translation>
    </message>
    <message>
        <source>From %1 to %2</source>
        <translation>Del %1 al %2</translation>
    </message>
    <message>
        <source>Words mastered</source>
        <translation>Palabras dominadas</translation>
    </message>
    <message>
        <source>Words that need work</source>
        <translation>Palabras que hay que practicar</translation>
    </message>
</context>
<context>
    <name>ProgressWindow</name>
    <message>
        <source>Progress</source>
        <translation>Progreso</translation>
    </message>
    <message>
        <source>No answers are recorded yet.</source>
        <translation>Todavía no hay respuestas guardadas.</translation>
    </message>
    <message>
        <source>The answer history cannot be read (%1).</source>
        <translation>No se puede leer el historial de respuestas (%1).</translation>
    </message>
    <message>
        <source>&amp;Learner</source>
        <translation>&amp;Alumno</translation>
    </message>
    <message>
        <source>&amp;From</source>
        <translation>&amp;Desde</translation>
    </message>
    <message>
        <source>&amp;To</source>
        <translation>&amp;Hasta</translation>
    </message>
    <message>
        <source>Per day</source>
        <translation>Por día</translation>
    </message>
    <message>
        <source>Per week</source>
        <translation>Por semana</translation>
    </message>
    <message>
        <source>Period</source>
        <translation>Periodo</translation>
    </message>
    <message>
        <source>Answers and accuracy</source>
        <translation>Respuestas y acierto</translation>
    </message>
    <message>
        <source>Words &amp;mastered (the last three answers correct)</source>
        <translation>Palabras &amp;dominadas (las tres últimas respuestas correctas)</translation>
    </message>
    <message>
        <source>Word</source>
        <translation>Palabra</translation>
    </message>
    <message>
        <source>Words mastered</source>
        <translation>Palabras dominadas</translation>
    </message>
    <message>
        <source>Words that &amp;need work (most missed)</source>
        <translation>Palabras que hay que &amp;practicar (las más falladas)</translation>
    </message>
    <message>
        <source>Incorrect</source>
        <translation>Incorrecto</translation>
    </message>
    <message>
        <source>Answers</source>
        <translation>Respuestas</translation>
    </message>
    <message>
        <source>Words that need work</source>
        <translation>Palabras que hay que practicar</translation>
    </message>
    <message>
        <source>&amp;Export...</source>
        <translation>&amp;Exportar...</translation>
    </message>
    <message>
        <source>The answer history (CSV)...</source>
        <translation>El historial de respuestas (CSV)...</translation>
    </message>
    <message>
        <source>The word list with every learner&apos;s tallies (CSV)...</source>
        <translation>La lista de palabras con los resultados de cada alumno (CSV)...</translation>
    </message>
    <message>
        <source>&amp;Print...</source>
        <translation>Im&amp;primir...</translation>
    </message>
    <message>
        <source>Cards of every word...</source>
        <translation>Tarjetas de todas las palabras...</translation>
    </message>
    <message>
        <source>Cards of the words that need work...</source>
        <translation>Tarjetas de las palabras que hay que practicar...</translation>
    </message>
    <message>
        <source>Cards of the selected words...</source>
        <translation>Tarjetas de las palabras seleccionadas...</translation>
    </message>
    <message>
        <source>This progress report...</source>
        <translation>Este informe de progreso...</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
    <message>
        <source>%1: answers and accuracy</source>
        <translation>%1: respuestas y acierto</translation>
    </message>
    <message>
        <source>Correct</source>
        <translation>Correcto</translation>
    </message>
    <message>
        <source>Accuracy (%)</source>
        <translation>Acierto (%)</translation>
    </message>
    <message>
        <source>Accuracy</source>
        <translation>Acierto</translation>
    </message>
    <message>
        <source>CSV files (*.csv);;All files (*)</source>
        <translation>Archivos CSV (*.csv);;Todos los archivos (*)</translation>
    </message>
    <message>
        <source>%1 could not be written. Nothing was changed there.</source>
        <translation>No se pudo escribir %1. No se cambió nada allí.</translation>
    </message>
    <message>
        <source>Export the answer history</source>
        <translation>Exportar el historial de respuestas</translation>
    </message>
    <message>
        <source>Export the word list</source>
        <translation>Exportar la lista de palabras</translation>
    </message>
    <message>
        <source>There are no words to print.</source>
        <translation>No hay palabras que imprimir.</translation>
    </message>
    <message>
        <source>Word cards</source>
        <translation>Tarjetas de palabras</translation>
    </message>
    <message>
        <source>Cards per page:</source>
        <translation>Tarjetas por página:</translation>
    </message>
    <message>
        <source>Progress of %1</source>
        <translation>Progreso de %1</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 a %2</translation>
    </message>
</context>
<context>
    <name>ReadMe</name>
    <message>
        <source>The guide could not be opened: no web browser was found to show it. It is this file:
%1</source>
        <translation>No se pudo abrir la guía: no se encontró un navegador para mostrarla. Es este archivo:
%1</translation>
    </message>
</context>
<context>
    <name>ResultsReportDialog</name>
    <message>
        <source>Results Report</source>
        <translation>Informe de resultados</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
    <message>
        <source>Answers</source>
        <translation>Respuestas</translation>
    </message>
</context>
<context>
    <name>Score</name>
    <message>
        <source>%1 of %2 (%3%)</source>
        <translation>%1 de %2 (%3%)</translation>
    </message>
</context>
<context>
    <name>StartupReason</name>
    <message>
        <source>it is not a file</source>
        <translation>no es un archivo</translation>
    </message>
    <message>
        <source>the folder refused a new name</source>
        <translation>la carpeta rechazó un nombre nuevo</translation>
    </message>
    <message>
        <source>permission denied</source>
        <translation>permiso denegado</translation>
    </message>
    <message>
        <source>no memory</source>
        <translation>sin memoria</translation>
    </message>
    <message>
        <source>it changed while opening</source>
        <translation>cambió mientras se abría</translation>
    </message>
    <message>
        <source>not a whole settings file</source>
        <translation>no es un archivo de ajustes completo</translation>
    </message>
</context>
<context>
    <name>WordDetailsDialog</name>
    <message>
        <source>Word Details</source>
        <translation>Detalles de la palabra</translation>
    </message>
    <message>
        <source>Notes:</source>
        <translation>Notas:</translation>
    </message>
    <message>
        <source>Notes about this word</source>
        <translation>Notas sobre esta palabra</translation>
    </message>
    <message>
        <source>Word:</source>
        <translation>Palabra:</translation>
    </message>
    <message>
        <source>The word</source>
        <translation>La palabra</translation>
    </message>
    <message>
        <source>Total</source>
        <translation>Total</translation>
    </message>
    <message>
        <source>Correct</source>
        <translation>Correcto</translation>
    </message>
    <message>
        <source>%</source>
        <translation>%</translation>
    </message>
    <message>
        <source>Show the previous word</source>
        <translation>Muestra la palabra anterior</translation>
    </message>
    <message>
        <source>Show the next word</source>
        <translation>Muestra la palabra siguiente</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Borrar</translation>
    </message>
    <message>
        <source>Delete this word (This cannot be undone)</source>
        <translation>Borra esta palabra (no se puede deshacer)</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copiar</translation>
    </message>
    <message>
        <source>Add a new word with the same details as this one (The data is not copied)</source>
        <translation>Añade una palabra nueva con los mismos detalles que esta (los resultados no se copian)</translation>
    </message>
    <message>
        <source>New</source>
        <translation>Nueva</translation>
    </message>
    <message>
        <source>Add a new word</source>
        <translation>Añadir una palabra nueva</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>This is the last word, so it cannot be deleted. Add another word first.</source>
        <translation>Es la última palabra, así que no se puede borrar. Añada otra palabra primero.</translation>
    </message>
    <message>
        <source>Keep this word</source>
        <translation>Conservar esta palabra</translation>
    </message>
    <message>
        <source>Delete this word? This cannot be undone.</source>
        <translation>¿Borrar esta palabra? No se puede deshacer.</translation>
    </message>
    <message>
        <source>Yes, delete word</source>
        <translation>Sí, borrar la palabra</translation>
    </message>
    <message>
        <source>No, do not delete</source>
        <translation>No, no borrar</translation>
    </message>
    <message>
        <source>Previous word</source>
        <translation>Palabra anterior</translation>
    </message>
    <message>
        <source>Next word</source>
        <translation>Palabra siguiente</translation>
    </message>
    <message>
        <source>Say</source>
        <translation>Decir</translation>
    </message>
    <message>
        <source>Say this word aloud</source>
        <translation>Dice esta palabra en voz alta</translation>
    </message>
</context>
<context>
    <name>WordSpeaker</name>
    <message>
        <source>This Lexipond was built without speech: install flite1-dev, libpocketsphinx-dev and pocketsphinx-en-us and build it again.</source>
        <translation>Este Lexipond se compiló sin voz: instale flite1-dev, libpocketsphinx-dev y pocketsphinx-en-us y vuelva a compilarlo.</translation>
    </message>
    <message>
        <source>No sound output was found, so Lexipond cannot say words aloud. Connect speakers or headphones and start Lexipond again.</source>
        <translation>No se encontró ninguna salida de sonido, así que Lexipond no puede decir las palabras en voz alta. Conecte altavoces o auriculares y vuelva a iniciar Lexipond.</translation>
    </message>
</context>
<context>
    <name>lexipond::ListeningMode</name>
    <message>
        <source>Listening: read the word aloud.</source>
        <translation>Escuchando: lee la palabra en voz alta.</translation>
    </message>
    <message>
        <source>Hearing...</source>
        <translation>Oyendo...</translation>
    </message>
    <message>
        <source>Getting ready to listen...</source>
        <translation>Preparándose para escuchar...</translation>
    </message>
    <message>
        <source>Heard &quot;%1&quot;: %2</source>
        <translation>Se oyó «%1»: %2</translation>
    </message>
    <message>
        <source>Not clear: read the word again.</source>
        <translation>No se entendió: lee la palabra otra vez.</translation>
    </message>
    <message>
        <source>Not clear (heard %1): read the word again.</source>
        <translation>No se entendió (se oyó %1): lee la palabra otra vez.</translation>
    </message>
    <message>
        <source>Listening cannot judge &quot;%1&quot;: answer it with the buttons or keys.</source>
        <translation>La escucha no puede juzgar «%1»: responda con los botones o las teclas.</translation>
    </message>
    <message>
        <source>Nothing heard yet: read the word aloud.</source>
        <translation>Aún no se oye nada: lee la palabra en voz alta.</translation>
    </message>
</context>
<context>
    <name>lexipond::MainWindow</name>
    <message>
        <source>Are you sure that you want to exit Lexipond?</source>
        <translation>¿Seguro que quiere salir de Lexipond?</translation>
    </message>
    <message>
        <source>Yes, close please</source>
        <translation>Sí, cerrar</translation>
    </message>
    <message>
        <source>No, keep running</source>
        <translation>No, seguir</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was deleted or renamed after that answer, so the answer cannot be taken back, nor any answer before it. The Report shows what is counted.</source>
        <translation>«%1» se borró o se renombró después de esa respuesta, así que no se puede deshacer esa respuesta ni ninguna anterior. El Informe muestra lo que se cuenta.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>Informe</translation>
    </message>
    <message>
        <source>User</source>
        <translation>Usuario</translation>
    </message>
    <message>
        <source>Level</source>
        <translation>Nivel</translation>
    </message>
    <message>
        <source>Edit %1</source>
        <translation>Editar %1</translation>
    </message>
    <message>
        <source>Add Word</source>
        <translation>Añadir palabra</translation>
    </message>
    <message>
        <source>Transparent</source>
        <translation>Transparente</translation>
    </message>
    <message>
        <source>On Top</source>
        <translation>Siempre visible</translation>
    </message>
    <message>
        <source>Full Screen</source>
        <translation>Pantalla completa</translation>
    </message>
    <message>
        <source>Options...</source>
        <translation>Opciones...</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Acerca de</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Ayuda</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Salir</translation>
    </message>
    <message>
        <source>Correct	Right, Enter, C</source>
        <translation>Correcto	Derecha, Intro, C</translation>
    </message>
    <message>
        <source>Incorrect	Left, X</source>
        <translation>Incorrecto	Izquierda, X</translation>
    </message>
    <message>
        <source>Skip	Space, Down</source>
        <translation>Saltar	Espacio, Abajo</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Deshacer</translation>
    </message>
    <message>
        <source>Undo: %1, %2</source>
        <translation>Deshacer: %1, %2</translation>
    </message>
    <message>
        <source>Progress...</source>
        <translation>Progreso...</translation>
    </message>
    <message>
        <source>Say the word	S</source>
        <translation>Decir la palabra	S</translation>
    </message>
    <message>
        <source>Listen	L</source>
        <translation>Escuchar	L</translation>
    </message>
</context>
<context>
    <name>lexipond::WordListener</name>
    <message>
        <source>This Lexipond was built without speech: install flite1-dev, libpocketsphinx-dev and pocketsphinx-en-us and build it again.</source>
        <translation>Este Lexipond se compiló sin voz: instale flite1-dev, libpocketsphinx-dev y pocketsphinx-en-us y vuelva a compilarlo.</translation>
    </message>
    <message>
        <source>Listening needs the speech model of the package pocketsphinx-en-us: install it and start listening again.</source>
        <translation>La escucha necesita el modelo de voz del paquete pocketsphinx-en-us: instálelo y vuelva a empezar a escuchar.</translation>
    </message>
    <message>
        <source>The speech model of pocketsphinx-en-us could not be loaded: reinstall the package.</source>
        <translation>No se pudo cargar el modelo de voz de pocketsphinx-en-us: reinstale el paquete.</translation>
    </message>
    <message>
        <source>None of the words of the list can be pronounced, so there is nothing to listen for.</source>
        <translation>No se puede pronunciar ninguna palabra de la lista, así que no hay nada que escuchar.</translation>
    </message>
    <message>
        <source>Listening works with lists of up to %1 words; this one has more.</source>
        <translation>La escucha funciona con listas de hasta %1 palabras; esta tiene más.</translation>
    </message>
    <message>
        <source>No microphone was found. Connect one, check that it is not muted in the sound settings, and start listening again.</source>
        <translation>No se encontró ningún micrófono. Conecte uno, compruebe que no esté silenciado en la configuración de sonido y vuelva a empezar a escuchar.</translation>
    </message>
    <message>
        <source>The microphone could not be used (another program may hold it, or it was unplugged). Check it in the sound settings and start listening again.</source>
        <translation>No se pudo usar el micrófono (quizá lo tiene otro programa o se desconectó). Compruébelo en la configuración de sonido y vuelva a empezar a escuchar.</translation>
    </message>
</context>
</TS>
