-- params: Num_Container, Tab_Tipo_Container_ID, Usuario_internet_id
-- Registers a container reported by a closing and answers its id. Two closings
-- may register the same new number at the same moment: both looked it up
-- before either wrote it. The number is unique in the register, so the second
-- one finds the row the first created and takes it, with the type it reports,
-- as a type update would. A container reported without a type is registered
-- without one.
--
-- Answers retorno 0 and container_id, or 1 with the reason in Msg_Ret and
-- nothing written.
INSERT INTO RECUSA_CHAMADA (POSICAO, RETORNO, MSG_RET)
SELECT 1, 1, 'Informe o número do container.'
 WHERE coalesce(trim(:Num_Container), '') = ''
UNION ALL
SELECT 2, 1, 'Tipo de container não cadastrado: ' || :Tab_Tipo_Container_ID || '.'
 WHERE :Tab_Tipo_Container_ID IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM TAB_TIPO_CONTAINER WHERE TAB_TIPO_CONTAINER_ID = :Tab_Tipo_Container_ID)
UNION ALL
SELECT 3, 1, 'Usuário não cadastrado: ' || :Usuario_internet_id || '.'
 WHERE :Usuario_internet_id IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM USUARIO_INTERNET WHERE USUARIO_INTERNET_ID = :Usuario_internet_id);

INSERT INTO CONTAINER (NUM_CONTAINER, TAB_TIPO_CONTAINER_ID, DATA_CADASTRO, USUARIO_CADASTRO_ID)
SELECT upper(trim(:Num_Container)), :Tab_Tipo_Container_ID,
       strftime('%Y/%m/%d %H:%M:%S', 'now', 'localtime'), :Usuario_internet_id
 WHERE NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA)
    ON CONFLICT (NUM_CONTAINER) DO UPDATE
   SET TAB_TIPO_CONTAINER_ID = excluded.TAB_TIPO_CONTAINER_ID,
       DATA_ALTERACAO        = excluded.DATA_CADASTRO,
       USUARIO_ALTERACAO_ID  = excluded.USUARIO_CADASTRO_ID
 WHERE excluded.TAB_TIPO_CONTAINER_ID IS NOT NULL
   AND excluded.TAB_TIPO_CONTAINER_ID IS NOT CONTAINER.TAB_TIPO_CONTAINER_ID;

SELECT coalesce((SELECT RETORNO FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1), 0) AS retorno,
       (SELECT MSG_RET FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1)              AS Msg_Ret,
       (SELECT CONTAINER_ID FROM CONTAINER
         WHERE NUM_CONTAINER = upper(trim(:Num_Container))
           AND NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA))                       AS container_id;

DELETE FROM RECUSA_CHAMADA;
